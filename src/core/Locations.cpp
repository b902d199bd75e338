#include "core/Locations.h"

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

Locations::Locations(const BaseFolders &bases, const QString &bundleId)
    : moviesFolderURL(asFolder(bases.movies))
    , libraryFolderURL(asFolder(bases.library))
    , applicationsFolderURL(asFolder(bases.applications))
    , sharedContainerURL(asFolder(bases.sharedContainer)) {
    appBundleURL = applicationsFolderURL + u"KLV App.app";
    vantoryFolderURL = applicationsFolderURL + u"Vantory/";
    pluginsFolderURL = vantoryFolderURL + u"Plugins/";
    logFolderURL = vantoryFolderURL + u"Log/";
    downloadFolderURL = vantoryFolderURL + u"KLV-Download/";
#ifdef Q_OS_MACOS
    resolveTemplatesFolderURL =
        libraryFolderURL + u"Application Support/Blackmagic Design/DaVinci Resolve/Fusion/Templates/";
    fontsFolderURL = libraryFolderURL + u"Fonts/";
    appCacheFolderURL = libraryFolderURL + u"Caches/" + bundleId + u'/';
    settingsFileURL = libraryFolderURL + u"Preferences/" + bundleId + u".plist";
#else
    // Linux consumers read these from the XDG data and cache folders, not from the app's private Library.
    const QString dataHome = standardFolder(QStandardPaths::GenericDataLocation);
    resolveTemplatesFolderURL = dataHome + u"DaVinciResolve/Fusion/Templates/";
    fontsFolderURL = dataHome + u"fonts/";
    appCacheFolderURL = standardFolder(QStandardPaths::GenericCacheLocation) + bundleId + u'/';
    settingsFileURL = standardFolder(QStandardPaths::GenericConfigLocation) + bundleId + u".conf";
#endif
    customLUTsFolderURL = libraryFolderURL + u"Application Support/ProApps/Custom LUTs/";
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
}

Locations Locations::forCurrentUser(const QString &groupId, const QString &bundleId) {
    BaseFolders bases;
    bases.movies = standardFolder(QStandardPaths::MoviesLocation);
#ifdef Q_OS_MACOS
    bases.library = QDir::homePath() + u"/Library";
    bases.applications = QStringLiteral("/Applications");
    bases.sharedContainer = QDir::homePath() + u"/Library/Group Containers/" + groupId;
#else
    const QString appData = standardFolder(QStandardPaths::GenericDataLocation) + u"klv-app/";
    bases.library = appData + u"Library";
    bases.applications = appData + u"Applications";
    bases.sharedContainer = appData + u"Group Containers/" + groupId;
#endif
    return Locations(bases, bundleId);
}

QString urlDescription(const QString &path) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

std::optional<QString> ensureFolder(const QString &folderPath, LogSink &log) {
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
