#include "core/HostAppGuard.h"

#include "core/ProcessTable.h"

namespace klv {

namespace {

// The executable inside the application bundle, as the process table shows it.
const QString finalCutProExecutable = QStringLiteral("Final Cut Pro.app/Contents/MacOS/Final Cut Pro");
const QString motionExecutable = QStringLiteral("Motion.app/Contents/MacOS/Motion");

void collect(const RunningProcess &process, const QString &executable, QString &lines, QList<qint64> &pids) {
    if (!process.commandLine.contains(executable))
        return;
    lines += QString::number(process.pid) + u' ' + process.commandLine + u'\n';
    pids.append(process.pid);
}

} // namespace

OpenHostApps findOpenHostApps() {
    OpenHostApps apps;
    for (const RunningProcess &process : listRunningProcesses()) {
        collect(process, finalCutProExecutable, apps.finalCutProLines, apps.finalCutProPids);
        collect(process, motionExecutable, apps.motionLines, apps.motionPids);
    }
    apps.finalCutPro = !apps.finalCutProPids.isEmpty();
    apps.motion = !apps.motionPids.isEmpty();
    return apps;
}

void closeHostApps(const OpenHostApps &apps) {
    // Only the processes found: another program that merely shares a name is left alone.
    for (const qint64 pid : apps.finalCutProPids)
        askProcessToQuit(pid);
    for (const qint64 pid : apps.motionPids)
        askProcessToQuit(pid);
}

} // namespace klv
