#include "core/HostAppGuard.h"

#include "core/Shell.h"

namespace klv {

OpenHostApps findOpenHostApps() {
    OpenHostApps apps;
    // The bracketed first letter keeps the grep command itself out of its own result.
    apps.finalCutProLines =
        runShell(QStringLiteral("ps aux | grep '[F]inal Cut Pro.app/Contents/MacOS/Final Cut Pro'"), true);
    apps.motionLines = runShell(QStringLiteral("ps aux | grep '[M]otion.app/Contents/MacOS/Motion'"), true);
    apps.finalCutPro = apps.finalCutProLines.contains(u"Final Cut Pro");
    apps.motion = apps.motionLines.contains(u"Motion");
    return apps;
}

void closeHostApps(const OpenHostApps &apps) {
    if (apps.finalCutPro)
        runShell(QStringLiteral("killall 'Final Cut Pro'"), false);
    if (apps.motion)
        runShell(QStringLiteral("killall 'Motion'"), false);
}

} // namespace klv
