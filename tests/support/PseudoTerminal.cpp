#include "PseudoTerminal.h"

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace klv::test {

PseudoTerminal::PseudoTerminal() {
    char name[256] = {};
    if (::openpty(&m_controller, &m_device, name, nullptr, nullptr) != 0) {
        m_controller = m_device = -1;
        return;
    }
    m_path = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal() {
    for (const int fd : {m_controller, m_device}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void PseudoTerminal::type(const QByteArray &keys) const {
    [[maybe_unused]] const ssize_t written = ::write(m_controller, keys.constData(), size_t(keys.size()));
}

bool PseudoTerminal::echoes() const {
    termios state{};
    return ::tcgetattr(m_device, &state) == 0 && (state.c_lflag & ECHO) != 0;
}

} // namespace klv::test
