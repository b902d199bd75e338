#include "cli/InterruptWatcher.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace klv::cli {

namespace {

// The handler may only write to a descriptor; the event loop reads the other end.
int interruptSockets[2] = {-1, -1};

// A terminal closed (SIGHUP) or a polite kill (SIGTERM) must leave nothing behind either.
constexpr int watchedSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onInterrupt(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(interruptSockets[0], &byte, 1);
}

} // namespace

InterruptWatcher::InterruptWatcher(QObject *parent)
    : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, interruptSockets) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(interruptSockets[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(interruptSockets[1], &byte, 1);
        Q_EMIT interrupted();
    });
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : watchedSignals)
        ::sigaction(signal, &action, nullptr);
}

InterruptWatcher::~InterruptWatcher() {
    for (const int signal : watchedSignals)
        std::signal(signal, SIG_DFL);
    m_notifier.reset();
    for (int &socket : interruptSockets) {
        if (socket >= 0)
            ::close(socket);
        socket = -1;
    }
}

} // namespace klv::cli
