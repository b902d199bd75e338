#include "app/StartupSequence.h"

#include "core/ContainedRemoval.h"

#include "app/AppContext.h"
#include "core/InstallationQueueLock.h"
#include "core/Platform.h"
#include "core/Shell.h"
#include "store/Services.h"
#include "update/SelfUpdate.h"

#include <QDir>
#include <QSysInfo>

#include <tuple>

namespace klv {

namespace {

struct RequiredFolder {
    QString path;
    QString failureMessage;
};

QList<RequiredFolder> requiredFolders(const Locations &l) {
    return {
        {l.vantoryFolderURL,
         QStringLiteral("Failed to create 'Vantory' folder in Application folder. This is required. "
                        "Please contact customer support with this error: ")},
        {l.pluginsFolderURL,
         QStringLiteral("Failed to create 'Plugins' folder in 'Vantory' folder. This is required to "
                        "use our product.Please contact customer support with this error: ")},
        {l.logFolderURL, QStringLiteral("Failed to create 'Log' folder in 'Vantory' folder. This is helpful for us to "
                                        "provide support.Please contact customer support with this error: ")},
        {l.downloadFolderURL, QStringLiteral("Failed to create 'KLV-Download' folder in 'Vantory' folder. This is "
                                             "required to download product.Please contact customer support with this "
                                             "error: ")},
        {l.motionEffectsFolderURL, QStringLiteral("Failed to create Effect folder in Motion Template folder : ")},
        {l.motionTitlesFolderURL, QStringLiteral("Failed to create Title folder in Motion Template folder : ")},
        {l.motionTransitionsFolderURL,
         QStringLiteral("Failed to create Transition folder in Motion Template folder : ")},
        {l.motionGeneratorsFolderURL, QStringLiteral("Failed to create Generator folder in Motion Template folder : ")},
        {l.compositeFolderURL, QStringLiteral("Failed to create KLV Composite folder in Motion Template folder ")},
        {l.productImageFolderURL, QStringLiteral("Failed to create User Image Folder in group container : ")},
        {l.fontsFolderURL, QStringLiteral("Failed to create Fonts Folder in User Library ")},
    };
}

// On macOS the system provides the base folders and the group container; elsewhere we make them.
void createBaseFolders(const Locations &l, const Reporter &reporter) {
    if (l.systemProvidesBaseFolders)
        return;
    for (const QString &base : {l.moviesFolderURL, l.libraryFolderURL, l.applicationsFolderURL, l.sharedContainerURL}) {
        if (!QDir().mkpath(base))
            reporter.appendLog(u"KLV App Error: could not create the base folder " + urlDescription(base));
    }
}

} // namespace

QString readOperatingSystemVersion() {
    if constexpr (platform::hasSwVers)
        return runShell(QStringLiteral("sw_vers -productVersion"), true);
    else
        return QSysInfo::productVersion() + u'\n';
}

void runStartupSequence(AppContext &context, const QStringList &arguments, UpdaterFetch updater) {
    context.services().detailLogEnabled = arguments.contains(QStringLiteral("-klvLogDetail"));
    context.services().appVersion = context.services().configuration().appVersion;

    const Locations &locations = context.services().locations();
    createBaseFolders(locations, context.services().reporter());
    context.services().loadUserData();

    // Where no host application creates the Motion templates folder, the four rows below need it made first; when
    // it cannot be, each of them says so.
    if (!locations.hostAppsProvideMotionTemplatesFolder)
        std::ignore = ensureFolder(locations.motionTemplatesFolderURL, context.services().log());
    for (const RequiredFolder &folder : requiredFolders(locations)) {
        if (const Error error = ensureFolder(folder.path, context.services().log()))
            context.services().reporter().showAlert(QStringLiteral("Alert"), folder.failureMessage + *error,
                                                    QStringLiteral("OK"));
    }

    if (updater == UpdaterFetch::whenMissing && context.selfUpdate().replacesItself())
        context.selfUpdate().fetchUpdaterApp();

    context.services().sharedDateFormatter = DateFormatter{};
    context.services().sharedNumberFormatter = NumberFormatter{};
    // Only the folder an identifier of the app's own names: an identifier such as ".." would name the home.
    if (context.services().configuration().identifierProblem().isEmpty()) {
        if (const Error error = ContainedRemoval::removeTree(locations.appCacheFolderURL))
            context.services().reporter().appendLog(QStringLiteral("The cache folder was not emptied: ") + *error);
    }
    context.services().macOSVersion = readOperatingSystemVersion();
    context.installationQueueLock().watchForOtherProcesses();
    context.recoverUnfinishedInstallations();
}

} // namespace klv
