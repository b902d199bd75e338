#include "core/HostAppGuard.h"

#include "core/Shell.h"
#include "store/Reporter.h"

namespace klv {

bool checkHostAppsClosed(const Reporter &reporter) {
    // The bracketed first letter keeps the grep command itself out of its own result.
    const QString fcpOutput =
        runShell(QStringLiteral("ps aux | grep '[F]inal Cut Pro.app/Contents/MacOS/Final Cut Pro'"), true);
    const QString motionOutput = runShell(QStringLiteral("ps aux | grep '[M]otion.app/Contents/MacOS/Motion'"), true);
    const bool motionOpen = motionOutput.contains(u"Motion");
    const bool fcpOpen = fcpOutput.contains(u"Final Cut Pro");
    if (!motionOpen && !fcpOpen)
        return true;

    QString message;
    if (fcpOpen && motionOpen)
        message = QStringLiteral("Please close \"Final Cut Pro\" and \"Motion\" before proceeding with installation.");
    else if (fcpOpen)
        message = QStringLiteral("Please close \"Final Cut Pro\" before proceeding with installation.");
    else
        message = QStringLiteral("Please close \"Motion\" before proceeding with installation.");

    reporter.appendLog(u"This still open :" + fcpOutput + u" and  " + motionOutput);
    const int choice =
        reporter.showAlert(QStringLiteral("Alert"), message, QStringLiteral("OK"), QStringLiteral("Close FCP/Motion"));
    if (choice == 1) {
        if (fcpOpen)
            runShell(QStringLiteral("killall 'Final Cut Pro'"), false);
        if (motionOpen)
            runShell(QStringLiteral("killall 'Motion'"), false);
    }
    return false;
}

} // namespace klv
