#include "store/HostAppCheck.h"

#include "core/HostAppGuard.h"
#include "store/Reporter.h"

namespace klv {

bool checkHostAppsClosed(const Reporter &reporter) {
    const OpenHostApps apps = findOpenHostApps();
    if (!apps.any())
        return true;

    QString message;
    if (apps.finalCutPro && apps.motion)
        message = QStringLiteral("Please close \"Final Cut Pro\" and \"Motion\" before proceeding with installation.");
    else if (apps.finalCutPro)
        message = QStringLiteral("Please close \"Final Cut Pro\" before proceeding with installation.");
    else
        message = QStringLiteral("Please close \"Motion\" before proceeding with installation.");

    reporter.appendLog(u"This still open :" + apps.finalCutProLines + u" and  " + apps.motionLines);
    const int choice =
        reporter.showAlert(QStringLiteral("Alert"), message, QStringLiteral("OK"), QStringLiteral("Close FCP/Motion"));
    if (choice == 1)
        closeHostApps(apps);
    return false;
}

} // namespace klv
