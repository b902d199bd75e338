#include "Terminal.h"

#include <termios.h>
#include <unistd.h>

namespace klv::cli {

Terminal::Terminal(std::FILE *input, std::FILE *output, std::FILE *errors)
    : m_input(input)
    , m_output(output)
    , m_errors(errors) {}

void Terminal::printResult(const QString &line) const {
    std::fputs(qUtf8Printable(line + u'\n'), m_output);
    std::fflush(m_output);
}

void Terminal::printMessage(const QString &line) const {
    std::fputs(qUtf8Printable(line + u'\n'), m_errors);
    std::fflush(m_errors);
}

void Terminal::printPartial(const QString &text) const {
    std::fputs(qUtf8Printable(text), m_errors);
    std::fflush(m_errors);
}

bool Terminal::errorsAreInteractive() const {
    return ::isatty(::fileno(m_errors)) == 1;
}

bool Terminal::isInteractive() const {
    return ::isatty(::fileno(m_input)) == 1;
}

std::optional<QString> Terminal::readLine() const {
    QByteArray line;
    int c = 0;
    while ((c = std::fgetc(m_input)) != EOF && c != '\n')
        line.append(static_cast<char>(c));
    if (c == EOF && line.isEmpty())
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

std::optional<QString> Terminal::readSecret(const QString &prompt) const {
    std::fputs(qUtf8Printable(prompt), m_errors);
    std::fflush(m_errors);
    const int fd = ::fileno(m_input);
    termios saved{};
    const bool canHideEcho = ::isatty(fd) == 1 && ::tcgetattr(fd, &saved) == 0;
    if (canHideEcho) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(fd, TCSAFLUSH, &silent);
    }
    std::optional<QString> secret = readLine();
    if (canHideEcho) {
        ::tcsetattr(fd, TCSAFLUSH, &saved);
        std::fputs("\n", m_errors);
    }
    return secret;
}

} // namespace klv::cli
