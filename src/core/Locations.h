#pragma once

#include "core/DownloadFolder.h"
#include "core/Error.h"

#include "core/Platform.h"

#include <QHash>
#include <QString>

#include <optional>

namespace klv {

class LogSink;

// Every folder and file the program uses, derived once from four base folders. Folder paths end with "/".
class Locations final {
public:
    struct BaseFolders {
        QString movies;
        QString library;
        QString applications;
        QString sharedContainer;
    };

    // The XDG folders that Linux programs read fonts, templates, caches and settings from.
    struct LinuxFolders {
        QString dataHome;
        QString cacheHome;
        QString configHome;
        // DaVinci Resolve's system-wide LUT folder; looks go there when it exists and may be written.
        QString resolveSystemLuts;

        static LinuxFolders forCurrentUser();
    };

    // The platform's sub-paths below the bases: the macOS ones on macOS, the Linux ones (below the current user's
    // XDG folders) elsewhere.
    Locations(const BaseFolders &bases, const QString &bundleId);
    // The current user's folders: the macOS ones on macOS, their Linux counterparts elsewhere.
    static Locations forCurrentUser(const QString &groupId, const QString &bundleId);
    // Each platform's map, whatever the platform this runs on, so both can be checked anywhere.
    static Locations forMacOS(const QString &home, const QString &groupId, const QString &bundleId);
    static Locations forLinux(const QString &videos, const LinuxFolders &xdg, const QString &groupId,
                              const QString &bundleId);

    QString moviesFolderURL;
    QString libraryFolderURL;
    QString applicationsFolderURL;
    QString sharedContainerURL;

    QString appBundleURL;
    QString vantoryFolderURL;
    QString pluginsFolderURL;
    QString logFolderURL;
    QString downloadFolderURL;
    QString resolveTemplatesFolderURL;
    QString customLUTsFolderURL;
    QString fontsFolderURL;
    QString appCacheFolderURL;
    QString compositeFolderURL;
    QString motionTemplatesFolderURL;
    QString motionEffectsFolderURL;
    QString motionTitlesFolderURL;
    QString motionTransitionsFolderURL;
    QString motionGeneratorsFolderURL;
    QString userDataFileURL;
    QString productCacheFileURL;
    QString productImageFolderURL;
    QString updaterAppURL;
    QString appUpdateArchiveURL;
    // Written by an updater that refused an update, read (and removed) by the app's next start.
    QString updateRefusalFileURL;
    QString logFileURL;
    QString settingsFileURL;
    // Held by the one process that installs, updates or uninstalls in this home.
    QString installationLockFileURL;

    // "Effects", "Titles", "Transitions", "Generators" to their Motion folders.
    QHash<QString, QString> motionFolderByCategory;

    // macOS has the four base folders (and the group container) before the app starts; elsewhere start-up makes them.
    bool systemProvidesBaseFolders = false;
    // Motion creates "Motion Templates.localized" on macOS; elsewhere start-up makes it before its sub-folders.
    bool hostAppsProvideMotionTemplatesFolder = false;

    // The names of what the app keeps in the download folder.
    DownloadFolder downloads() const { return DownloadFolder(downloadFolderURL); }

private:
    // The Linux map follows the XDG base-directory rules.
    enum class Platform { macOS, xdg };
    static constexpr Platform runningPlatform = platform::isMacOS ? Platform::macOS : Platform::xdg;
    Locations(const BaseFolders &bases, const QString &bundleId, Platform platform, const LinuxFolders &xdg);
};

// A file URL text as the log shows it, e.g. "file:///home/a/Videos/".
QString urlDescription(const QString &path);

// Makes sure one folder exists, without creating missing parents. Returns the error text on failure
// (and logs it), nothing on success.
Error ensureFolder(const QString &folderPath, LogSink &log);

} // namespace klv
