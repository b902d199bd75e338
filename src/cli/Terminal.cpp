#include "cli/Terminal.h"

#include "cli/EchoOff.h"

#include "core/ControlCharacters.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <sys/ioctl.h>
#include <termios.h>
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

namespace {

constexpr int jsonFormatVersion = 1;
constexpr int defaultColumns = 80;

bool isDumbTerminal() {
    return qEnvironmentVariable("TERM") == u"dumb";
}

} // namespace

bool Terminal::usesColour(std::FILE *stream) {
    // NO_COLOR set to anything but the empty text turns colour off (no-color.org).
    return ::isatty(::fileno(stream)) == 1 && qEnvironmentVariableIsEmpty("NO_COLOR") && !isDumbTerminal();
}

QString Terminal::painted(std::FILE *stream, const QString &line, Tone tone) {
    const QString text = escapeControlCharacters(line);
    if (tone == Tone::plain || !usesColour(stream))
        return text;
    const QString colour = tone == Tone::good     ? QStringLiteral("32")
                           : tone == Tone::notice ? QStringLiteral("33")
                                                  : QStringLiteral("31");
    return u"\x1b[" + colour + u'm' + text + u"\x1b[0m";
}

void Terminal::printResult(const QString &line, Tone tone) const {
    write(m_output, painted(m_output, line, tone) + u'\n');
}

void Terminal::printMessage(const QString &line, Tone tone) const {
    m_messages.append(line);
    const QString clearRedrawn = m_redrawnLineShown ? QStringLiteral("\r\x1b[2K") : QString();
    m_redrawnLineShown = false;
    write(m_errors, clearRedrawn + painted(m_errors, line, tone) + u'\n');
}

void Terminal::printNote(const QString &line) const {
    if (!m_quiet)
        printMessage(line);
}

void Terminal::printResultLines(const QString &text) const {
    for (const QString &line : text.split(u'\n'))
        printResult(line);
}

void Terminal::printMessageLines(const QString &text) const {
    for (const QString &line : text.split(u'\n'))
        printMessage(line);
}

void Terminal::printJson(QJsonObject result) const {
    m_printedJson = true;
    result.insert(QStringLiteral("version"), jsonFormatVersion);
    // JSON escapes every character below U+0020 already; DEL and the C1 controls become \u escapes, which JSON
    // reads back as the same characters.
    QString text = QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)).trimmed();
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (const char16_t c = text.at(i).unicode(); c >= 0x7f && c <= 0x9f)
            text.replace(i, 1, QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0')));
    }
    write(m_output, text + u'\n');
}

void Terminal::redrawLine(const QString &line) const {
    write(m_errors, u"\r\x1b[2K" + escapeControlCharacters(line));
    m_redrawnLineShown = !line.isEmpty();
}

void Terminal::endLine() const {
    write(m_errors, QStringLiteral("\n"));
    m_redrawnLineShown = false;
}

Terminal::ProgressStyle Terminal::progressStyle() const {
    if (m_quiet || isDumbTerminal())
        return ProgressStyle::none;
    return ::isatty(::fileno(m_errors)) == 1 ? ProgressStyle::redrawn : ProgressStyle::lines;
}

int Terminal::messageColumns() const {
    winsize size{};
    if (::ioctl(::fileno(m_errors), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool isNumber = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &isNumber);
    return isNumber && columns > 0 ? columns : defaultColumns;
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
