#pragma once

#include <QList>
#include <QString>

namespace klv {

// One running process as the system lists it: its id and its command line, arguments separated by spaces.
struct RunningProcess {
    qint64 pid = 0;
    QString commandLine;
};

// The processes running now, read in-process (/proc on Linux, libproc on macOS). Processes that end while the
// table is read, or whose command line cannot be read, are left out.
QList<RunningProcess> listRunningProcesses();

// Asks a process to quit (SIGTERM), as closing it from the desktop would. False when no such process is left.
bool askProcessToQuit(qint64 pid);

} // namespace klv
