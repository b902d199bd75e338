#pragma once

#include <QtGlobal>

#include <csignal>
#include <termios.h>

namespace klv::cli {

// Turns a terminal's echo off for as long as it lives (a password is typed). The echo comes back however the
// reading ends: when the object goes, and when Ctrl-C, SIGTERM or SIGHUP end the program meanwhile.
class EchoOff final {
public:
    // Does nothing when the descriptor is not a terminal.
    explicit EchoOff(int fd);
    ~EchoOff();
    Q_DISABLE_COPY_MOVE(EchoOff)

    bool isActive() const { return m_active; }

private:
    int m_fd;
    bool m_active = false;
    termios m_saved{};
    struct sigaction m_previous[3]{};
};

} // namespace klv::cli
