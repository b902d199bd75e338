#pragma once

#include "cli/ProgressDisplay.h"

#include <QObject>
#include <QString>

namespace klv {
class AppContext;
}

namespace klv::cli {

class Terminal;

// What klv shows while the installation jobs it asked for run, the same for install, update and repair: a progress
// line per job, placed among what was asked for, a note when a download reconnects, and on Ctrl-C the queue
// cancelled. The command counts what ends and says how it ended.
class JobRunDisplay final : public QObject {
    Q_OBJECT
public:
    JobRunDisplay(AppContext &context, const Terminal &terminal, QObject *parent);

    // How many jobs (or products) were asked for: the count on the progress line.
    void setTotal(int total) { m_total = total; }
    int total() const { return m_total; }
    // One of them ended, whichever way: the next job's place.
    void countDone() { ++m_done; }
    // Follows the engine's jobs from now on, and cancels them on Ctrl-C, SIGTERM or SIGHUP.
    void start();
    bool isCancelled() const { return m_cancelled; }
    // Takes the progress line away before something else is printed.
    void finishLine() { m_progress.finishLine(); }
    // The running job ended.
    void endJob() { m_progress.endJob(); }
    // The running job's product, and the size of its package (-1 while unknown).
    const QString &jobName() const { return m_jobName; }
    qint64 packageSize() const { return m_packageSize; }

Q_SIGNALS:
    // The jobs are being cancelled; the command ends once the engine is no longer busy.
    void cancelled();

private:
    AppContext &m_context;
    const Terminal &m_terminal;
    ProgressDisplay m_progress;
    int m_total = 0;
    int m_done = 0;
    bool m_cancelled = false;
    QString m_jobName;
    qint64 m_packageSize = -1;
};

} // namespace klv::cli
