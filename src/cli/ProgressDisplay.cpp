#include "cli/ProgressDisplay.h"

#include "cli/Terminal.h"

#include "core/ByteCountFormat.h"

namespace klv::cli {

namespace {

constexpr int widestBar = 30;
constexpr int narrowestBar = 10;
constexpr qint64 lineIntervalMs = 1000;
// Speed and time left wait for a second of history: the first moments say little about the rest.
constexpr qint64 settlingMs = 1000;

QString percentText(double percent) {
    // Whole percents; 100 only once the job is truly done, so a rounded-up 99.6 does not read as finished.
    const int whole = percent >= 100.0 ? 100 : qBound(0, int(percent), 99);
    return QString::number(whole) + u'%';
}

QString durationText(qint64 seconds) {
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString bar(double percent, int width) {
    const int filled = qBound(0, int(percent / 100.0 * width), width);
    return u'[' + QString(filled, u'#') + QString(width - filled, u'.') + u']';
}

} // namespace

ProgressDisplay::ProgressDisplay(const Terminal &terminal)
    : m_terminal(terminal) {}

QString ProgressDisplay::composeLine(const QString &name, int number, int count, double percent, double bytesPerSecond,
                                     qint64 secondsLeft, int columns) {
    const QString place = QStringLiteral("(%1/%2) ").arg(number).arg(count);
    QString tail = u' ' + percentText(percent).rightJustified(4);
    if (bytesPerSecond > 0)
        tail += u"  " + formatByteCount(qint64(bytesPerSecond)) + u"/s";
    if (secondsLeft >= 0)
        tail += u"  " + durationText(secondsLeft) + u" left";
    // The last column stays free: a line that fills it wraps on some terminals.
    const int room = columns - 1;
    int barWidth = qBound(narrowestBar, room - int(place.size() + name.size() + tail.size() + 1), widestBar);
    int nameRoom = room - int(place.size() + tail.size()) - barWidth - 3;
    if (nameRoom < 8) {
        barWidth = 0;
        nameRoom = room - int(place.size() + tail.size());
    }
    QString shownName = name;
    if (shownName.size() > nameRoom)
        shownName = nameRoom > 1 ? shownName.left(nameRoom - 1) + u'…' : QString();
    QString line = place + shownName;
    if (barWidth > 0)
        line += u' ' + bar(percent, barWidth - 2);
    line += tail;
    return line.left(qMax(room, 0));
}

void ProgressDisplay::startJob(const QString &name, int number, int count) {
    m_name = name;
    m_number = number;
    m_count = count;
    m_percent = 0.0;
    m_received = 0;
    m_total = -1;
    m_sinceFirstByte.invalidate();
    show(0.0);
}

void ProgressDisplay::showDownload(qint64 received, qint64 total) {
    // A resumed download starts at the bytes kept: only what arrives in this run says how fast it goes.
    if (received > 0 && !m_sinceFirstByte.isValid()) {
        m_sinceFirstByte.start();
        m_receivedAtFirstByte = received;
    }
    m_received = received;
    m_total = total;
    show(m_percent);
}

void ProgressDisplay::show(double percent) {
    const Terminal::ProgressStyle style = m_terminal.progressStyle();
    if (style == Terminal::ProgressStyle::none || m_name.isEmpty())
        return;
    // A job's overall figure drops when a component joins it; shown dropping it would read as lost work.
    m_percent = qBound(m_percent, percent, 100.0);
    // Speed and time left are the download's, from the bytes themselves, while it runs.
    const qint64 elapsedMs = m_sinceFirstByte.isValid() ? m_sinceFirstByte.elapsed() : 0;
    const bool downloading = m_total > 0 && m_received < m_total;
    double bytesPerSecond = 0;
    qint64 secondsLeft = -1;
    if (downloading && elapsedMs >= settlingMs && m_received > m_receivedAtFirstByte) {
        bytesPerSecond = double(m_received - m_receivedAtFirstByte) * 1000.0 / double(elapsedMs);
        secondsLeft = qint64(double(m_total - m_received) / bytesPerSecond + 0.5);
    }
    const bool redrawn = style == Terminal::ProgressStyle::redrawn;
    const QString line = composeLine(m_name, m_number, m_count, m_percent, bytesPerSecond, secondsLeft,
                                     redrawn ? m_terminal.messageColumns() : 100);
    if (line == m_lastLine)
        return;
    if (redrawn) {
        m_terminal.redrawLine(line);
        m_lineOpen = true;
        m_lastLine = line;
    } else if (!m_sinceLastLine.isValid() || m_sinceLastLine.elapsed() >= lineIntervalMs) {
        m_terminal.printMessage(line);
        m_sinceLastLine.start();
        m_lastLine = line;
    }
}

void ProgressDisplay::finishLine() {
    // The bar goes: what follows (the job's outcome) says how it ended.
    if (m_lineOpen)
        m_terminal.redrawLine(QString());
    m_lineOpen = false;
    m_lastLine.clear();
}

void ProgressDisplay::endJob() {
    finishLine();
    m_name.clear();
}

} // namespace klv::cli
