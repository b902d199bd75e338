#pragma once

#include <QString>

#include <optional>

namespace klv {

// The downloaded archive of a new version, looked at before the update is offered: the store's word alone must
// not make the app quit for an updater that will refuse the archive.
struct UpdateArchiveCheck {
    // The application folder the archive must hold, e.g. "KLV App.app".
    QString folderName;
    QString installedVersion;
    // Empty when the store gave none.
    QString expectedSha256;

    // The version the archive holds, once its SHA-256 matches (when one is expected), every entry reads whole, the
    // application folder is there and its version is newer than the installed one; otherwise why not, in words.
    struct Outcome {
        QString version;
        std::optional<QString> problem;
    };
    Outcome run(const QString &archivePath) const;
};

} // namespace klv
