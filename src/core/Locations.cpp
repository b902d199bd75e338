#include "core/Locations.h"

#include "core/ContainedRemoval.h"
#include "core/LogSink.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace klv {

namespace {

QString asFolder(QString path) {
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

QString standardFolder(QStandardPaths::StandardLocation type) {
    return asFolder(QStandardPaths::writableLocation(type));
}

} // namespace

Locations::LinuxFolders Locations::LinuxFolders::forCurrentUser() {
    return {standardFolder(QStandardPaths::GenericDataLocation), standardFolder(QStandardPaths::GenericCacheLocation),
            standardFolder(QStandardPaths::GenericConfigLocation), QStringLiteral("/opt/resolve/LUT")};
}

Locations::Locations(const BaseFolders &bases, const QString &bundleId)
    : Locations(bases, bundleId, runningPlatform,
                runningPlatform == Platform::xdg ? LinuxFolders::forCurrentUser() : LinuxFolders{}) {}

Locations::Locations(const BaseFolders &bases, const QString &bundleId, Platform platform, const LinuxFolders &xdg)
    : moviesFolderURL(asFolder(bases.movies))
    , libraryFolderURL(asFolder(bases.library))
    , applicationsFolderURL(asFolder(bases.applications))
    , sharedContainerURL(asFolder(bases.sharedContainer)) {
    appBundleURL = applicationsFolderURL + u"KLV App.app";
    vantoryFolderURL = applicationsFolderURL + u"Vantory/";
    pluginsFolderURL = vantoryFolderURL + u"Plugins/";
    logFolderURL = vantoryFolderURL + u"Log/";
    downloadFolderURL = vantoryFolderURL + u"KLV-Download/";
    systemProvidesBaseFolders = platform == Platform::macOS;
    hostAppsProvideMotionTemplatesFolder = platform == Platform::macOS;
    if (platform == Platform::macOS) {
        resolveTemplatesFolderURL =
            libraryFolderURL + u"Application Support/Blackmagic Design/DaVinci Resolve/Fusion/Templates/";
        fontsFolderURL = libraryFolderURL + u"Fonts/";
        appCacheFolderURL = libraryFolderURL + u"Caches/" + bundleId + u'/';
        settingsFileURL = libraryFolderURL + u"Preferences/" + bundleId + u".plist";
        customLUTsFolderURL = libraryFolderURL + u"Application Support/ProApps/Custom LUTs/";
    } else {
        // Linux consumers read these from the XDG data and cache folders, not from the app's private Library.
        resolveTemplatesFolderURL = asFolder(xdg.dataHome) + u"DaVinciResolve/Fusion/Templates/";
        fontsFolderURL = asFolder(xdg.dataHome) + u"fonts/";
        appCacheFolderURL = asFolder(xdg.cacheHome) + bundleId + u'/';
        settingsFileURL = asFolder(xdg.configHome) + bundleId + u".conf";
        // On Linux only DaVinci Resolve reads looks: from its system folder, which an installation of Resolve
        // makes (never this app), else from the per-user folder that needs no root.
        const QFileInfo systemLuts(xdg.resolveSystemLuts);
        customLUTsFolderURL = !xdg.resolveSystemLuts.isEmpty() && systemLuts.isDir() && systemLuts.isWritable()
                                  ? asFolder(xdg.resolveSystemLuts)
                                  : asFolder(xdg.dataHome) + u"DaVinciResolve/Fusion/LUTs/";
    }
    compositeFolderURL = moviesFolderURL + u"KLV Composite";
    motionTemplatesFolderURL = moviesFolderURL + u"Motion Templates.localized/";
    motionEffectsFolderURL = motionTemplatesFolderURL + u"Effects.localized/";
    motionTitlesFolderURL = motionTemplatesFolderURL + u"Titles.localized/";
    motionTransitionsFolderURL = motionTemplatesFolderURL + u"Transitions.localized/";
    motionGeneratorsFolderURL = motionTemplatesFolderURL + u"Generators.localized/";
    userDataFileURL = sharedContainerURL + u"KLVApp_UserData_IM.bin";
    productCacheFileURL = sharedContainerURL + u"KLVApp_MyProductCache.bin";
    productImageFolderURL = sharedContainerURL + u"KLVApp Product Image/";
    updaterAppURL = sharedContainerURL + u"updateKLVApp.app";
    appUpdateArchiveURL = sharedContainerURL + u"KLV App.zip";
    updateRefusalFileURL = sharedContainerURL + u"KLV App update refused.txt";
    logFileURL = logFolderURL + u"KLVAppLog.txt";
    // Beside the downloads it guards, in this home: the cache folder is emptied at every start, and the runtime
    // folder is shared by every home of the user.
    installationLockFileURL = vantoryFolderURL + u"KLV-Installation.lock";

    motionFolderByCategory = {
        {QStringLiteral("Effects"), motionEffectsFolderURL},
        {QStringLiteral("Titles"), motionTitlesFolderURL},
        {QStringLiteral("Transitions"), motionTransitionsFolderURL},
        {QStringLiteral("Generators"), motionGeneratorsFolderURL},
    };
    // Whoever knows the app's folders of a home may remove trees inside them, and nothing else.
    ContainedRemoval::allow(*this);
}

Locations Locations::forMacOS(const QString &home, const QString &groupId, const QString &bundleId) {
    const QString homeFolder = asFolder(home);
    return Locations({homeFolder + u"Movies", homeFolder + u"Library", QStringLiteral("/Applications"),
                      homeFolder + u"Library/Group Containers/" + groupId},
                     bundleId, Platform::macOS, {});
}

Locations Locations::forLinux(const QString &videos, const LinuxFolders &xdg, const QString &groupId,
                              const QString &bundleId) {
    // The app's own folders live in its XDG data folder; nothing of it goes into the home folder itself.
    const QString appData = asFolder(xdg.dataHome) + u"klv-app/";
    return Locations(
        {videos, appData + u"Library", appData + u"Applications", appData + u"Group Containers/" + groupId}, bundleId,
        Platform::xdg, xdg);
}

Locations Locations::forCurrentUser(const QString &groupId, const QString &bundleId) {
    if constexpr (runningPlatform == Platform::macOS)
        return forMacOS(QDir::homePath(), groupId, bundleId);
    else
        return forLinux(standardFolder(QStandardPaths::MoviesLocation), LinuxFolders::forCurrentUser(), groupId,
                        bundleId);
}

QString urlDescription(const QString &path) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

Error ensureFolder(const QString &folderPath, LogSink &log) {
    if (QFileInfo(folderPath).isDir())
        return std::nullopt;
    if (::mkdir(QFile::encodeName(folderPath).constData(), 0777) == 0)
        return std::nullopt;
    const QString error = QStringLiteral("The folder “%1” could not be created: %2")
                              .arg(QDir::cleanPath(folderPath), QString::fromLocal8Bit(std::strerror(errno)));
    log.appendLog(u"Failed to Create Folder for " + urlDescription(folderPath) + u": " + error);
    return error;
}

} // namespace klv
