#include "core/ProcessTable.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/types.h>

#ifdef Q_OS_MACOS
#include <libproc.h>
#include <vector>
#endif

namespace klv {

#ifdef Q_OS_MACOS

QList<RunningProcess> listRunningProcesses() {
    QList<RunningProcess> processes;
    const int estimate = proc_listallpids(nullptr, 0);
    if (estimate <= 0)
        return processes;
    // Room for processes started between the two calls.
    std::vector<pid_t> pids(static_cast<size_t>(estimate) + 64);
    const int count = proc_listallpids(pids.data(), static_cast<int>(pids.size() * sizeof(pid_t)));
    for (int i = 0; i < count; ++i) {
        char path[PROC_PIDPATHINFO_MAXSIZE];
        if (proc_pidpath(pids[static_cast<size_t>(i)], path, sizeof(path)) > 0)
            processes.append({pids[static_cast<size_t>(i)], QString::fromUtf8(path)});
    }
    return processes;
}

#else

QList<RunningProcess> listRunningProcesses() {
    QList<RunningProcess> processes;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile cmdline(u"/proc/" + entry + u"/cmdline");
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        QByteArray arguments = cmdline.readAll();
        // Kernel threads have no command line.
        if (arguments.isEmpty())
            continue;
        if (arguments.endsWith('\0'))
            arguments.chop(1);
        arguments.replace('\0', ' ');
        processes.append({pid, QString::fromLocal8Bit(arguments)});
    }
    return processes;
}

#endif

bool askProcessToQuit(qint64 pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGTERM) == 0;
}

} // namespace klv
