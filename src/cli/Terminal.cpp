#include "Terminal.h"

#include "EchoOff.h"

#include "core/ControlCharacters.h"

#include <QJsonDocument>

#include <unistd.h>

namespace klv::cli {

Terminal::Terminal(std::FILE *input, std::FILE *output, std::FILE *errors)
    : m_input(input)
    , m_output(output)
    , m_errors(errors) {}

void Terminal::write(std::FILE *stream, const QString &text) {
    std::fputs(qUtf8Printable(text), stream);
    std::fflush(stream);
}

void Terminal::printResult(const QString &line) const {
    write(m_output, escapeControlCharacters(line) + u'\n');
}

void Terminal::printMessage(const QString &line) const {
    write(m_errors, escapeControlCharacters(line) + u'\n');
}

void Terminal::printResultLines(const QString &text) const {
    for (const QString &line : text.split(u'\n'))
        printResult(line);
}

void Terminal::printMessageLines(const QString &text) const {
    for (const QString &line : text.split(u'\n'))
        printMessage(line);
}

void Terminal::printJson(const QJsonDocument &document) const {
    // JSON escapes every character below U+0020 already; DEL and the C1 controls become \u escapes, which JSON
    // reads back as the same characters.
    QString text = QString::fromUtf8(document.toJson(QJsonDocument::Indented)).trimmed();
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (const char16_t c = text.at(i).unicode(); c >= 0x7f && c <= 0x9f)
            text.replace(i, 1, QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0')));
    }
    write(m_output, text + u'\n');
}

void Terminal::redrawLine(const QString &line) const {
    write(m_errors, u"\r\x1b[2K" + escapeControlCharacters(line));
}

void Terminal::endLine() const {
    write(m_errors, QStringLiteral("\n"));
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
    const EchoOff echoOff(::fileno(m_input));
    std::optional<QString> secret = readLine();
    if (echoOff.isActive())
        std::fputs("\n", m_errors);
    return secret;
}

} // namespace klv::cli
