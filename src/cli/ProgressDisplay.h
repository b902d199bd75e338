#pragma once

#include <QElapsedTimer>
#include <QString>

namespace klv::cli {

class Terminal;

// The running job's progress on the message stream: a bar redrawn in place on a terminal, a line now and then
// otherwise, nothing on a dumb terminal or with --quiet. The line fits the terminal's width and shows the job's
// place among the products asked for, its percentage and, while its package downloads, the speed and the time
// the download has left.
class ProgressDisplay final {
public:
    explicit ProgressDisplay(const Terminal &terminal);

    // A new job: its place (from 1) and how many products were asked for.
    void startJob(const QString &name, int number, int count);
    // The job's progress; the bar never goes back.
    void show(double percent);
    // Bytes of the job's package received so far, of total (-1 when unknown).
    void showDownload(qint64 received, qint64 total);
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
    double m_percent = 0.0;
    qint64 m_received = 0;
    qint64 m_receivedAtFirstByte = 0;
    qint64 m_total = -1;
    QString m_lastLine;
    QElapsedTimer m_sinceFirstByte;
    QElapsedTimer m_sinceLastLine;
};

} // namespace klv::cli
