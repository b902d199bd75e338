#pragma once

#include "core/Error.h"

#include "library/FileTreeScan.h"
#include "library/UnpackedFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace klv {

// What an installation placed: every file with its size, time and digest, the product, its release and the items
// (template folders, bundles, plug-ins, fonts) it consists of. One compact JSON file per product in the maker's
// folder, written whole or not at all; verification compares the disk with it.
struct InstallManifest {
    QString product;
    qint64 productId = 0;
    // The store's release date of what was installed; empty when the library did not say.
    QString version;
    // Taken from what stood on disk when the product was first verified, not from an installation.
    bool baseline = false;
    QStringList roots;
    QList<ScannedFile> files;

    // The folder of the manifests below the maker's folder, and the manifest of a product there.
    static QString folderIn(const QString &makerFolder);
    static QString pathFor(const QString &makerFolder, const QString &product);

    // Lists and hashes every file below roots that exist. A file the installation unpacked and nothing changed since
    // is recorded with the digest the unpacking knew instead of being read again.
    static InstallManifest describe(const QString &product, qint64 productId, const QString &version,
                                    const QStringList &roots, const UnpackedFiles &unpacked = {});
    static std::optional<InstallManifest> read(const QString &path);
    // The error text when it could not be written; the old manifest then stays.
    Error write(const QString &path) const;
};

} // namespace klv
