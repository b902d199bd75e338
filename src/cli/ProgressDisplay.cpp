#include "ProgressDisplay.h"

#include "Terminal.h"

namespace klv::cli {

namespace {
constexpr int barWidth = 30;
constexpr qint64 lineIntervalMs = 1000;
} // namespace

ProgressDisplay::ProgressDisplay(const Terminal &terminal)
    : m_terminal(terminal)
    , m_redraw(terminal.errorsAreInteractive()) {
    m_sinceLastLine.start();
}

void ProgressDisplay::show(const QString &title, const QString &percentText, double percent) {
    const int filled = qBound(0, int(percent / 100.0 * barWidth), barWidth);
    const QString line = title + u" [" + QString(filled, u'#') + QString(barWidth - filled, u'.') + u"] " + percentText;
    if (line == m_lastLine)
        return;
    m_lastLine = line;
    if (m_redraw) {
        m_terminal.redrawLine(line);
        m_lineOpen = true;
    } else if (m_sinceLastLine.elapsed() >= lineIntervalMs || percent >= 100.0) {
        m_terminal.printMessage(line);
        m_sinceLastLine.restart();
    }
}

void ProgressDisplay::finishLine() {
    if (m_lineOpen)
        m_terminal.endLine();
    m_lineOpen = false;
    m_lastLine.clear();
}

} // namespace klv::cli
