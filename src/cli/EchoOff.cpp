#include "cli/EchoOff.h"

#include <unistd.h>

namespace klv::cli {

namespace {

constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the handler puts back; a signal handler can only reach it here.
int echoFd = -1;
termios echoState{};

extern "C" void restoreEchoAndEnd(int signal) {
    ::tcsetattr(echoFd, TCSAFLUSH, &echoState);
    // The program then ends as the signal would have ended it.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

EchoOff::EchoOff(int fd)
    : m_fd(fd) {
    if (::isatty(fd) != 1 || ::tcgetattr(fd, &m_saved) != 0)
        return;
    echoFd = fd;
    echoState = m_saved;
    struct sigaction action {};
    action.sa_handler = restoreEchoAndEnd;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i)
        ::sigaction(endingSignals[i], &action, &m_previous[i]);
    termios silent = m_saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    m_active = ::tcsetattr(fd, TCSAFLUSH, &silent) == 0;
}

EchoOff::~EchoOff() {
    if (echoFd != m_fd)
        return;
    ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    for (int i = 0; i < 3; ++i)
        ::sigaction(endingSignals[i], &m_previous[i], nullptr);
    echoFd = -1;
}

} // namespace klv::cli
