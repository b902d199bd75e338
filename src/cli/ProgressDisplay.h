#pragma once

#include <QElapsedTimer>
#include <QString>

namespace klv::cli {

class Terminal;

// The strip's title and percentage as a progress bar on the terminal (redrawn in place), or as occasional
// lines when the output is not a terminal.
class ProgressDisplay final {
public:
    explicit ProgressDisplay(const Terminal &terminal);

    void show(const QString &title, const QString &percentText, double percent);
    // Ends the current bar so the next output starts on a fresh line.
    void finishLine();

private:
    const Terminal &m_terminal;
    bool m_redraw;
    bool m_lineOpen = false;
    QString m_lastLine;
    QElapsedTimer m_sinceLastLine;
};

} // namespace klv::cli
