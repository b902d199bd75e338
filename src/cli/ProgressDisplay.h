#pragma once

#include <QElapsedTimer>
#include <QString>

namespace klv::cli {

class Terminal;

// The running job's progress on the message stream: a bar redrawn in place on a terminal, a line now and then
// otherwise, nothing on a dumb terminal or with --quiet. The line fits the terminal's width and shows the job's
// place among the products asked for, its percentage, the speed and the time left.
class ProgressDisplay final {
public:
    explicit ProgressDisplay(const Terminal &terminal);

    // A new job: its place (from 1), how many products were asked for and its size in bytes (0 when unknown).
    void startJob(const QString &name, int number, int count, qint64 byteCount);
    void show(double percent);
    // Takes the bar away so the next output starts on a clean line; the job's next progress brings it back.
    void finishLine();
    // The job ended: nothing more is shown for it, so a late 100 % cannot linger.
    void endJob();

    // The line for the values given, at most `columns` characters wide.
    static QString composeLine(const QString &name, int number, int count, double percent, double bytesPerSecond,
                               qint64 secondsLeft, int columns);

private:
    const Terminal &m_terminal;
    bool m_lineOpen = false;
    QString m_name;
    int m_number = 0;
    int m_count = 0;
    qint64 m_byteCount = 0;
    double m_percent = 0.0;
    QString m_lastLine;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceLastLine;
};

} // namespace klv::cli
