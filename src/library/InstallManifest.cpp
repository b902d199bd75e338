#include "library/InstallManifest.h"

#include "core/AtomicFileWrite.h"
#include "core/FolderCreation.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

constexpr int formatVersion = 1;

} // namespace

QString InstallManifest::folderIn(const QString &makerFolder) {
    return makerFolder + u"Manifests/"_s;
}

QString InstallManifest::pathFor(const QString &makerFolder, const QString &product) {
    return folderIn(makerFolder) + product + u".json"_s;
}

InstallManifest InstallManifest::describe(const QString &product, qint64 productId, const QString &version,
                                          const QStringList &roots, const UnpackedFiles &unpacked) {
    InstallManifest manifest{product, productId, version, false, {}, {}};
    QSet<QString> listed;
    for (const QString &root : roots) {
        if (!listed.contains(root) && QFileInfo::exists(root)) {
            listed.insert(root);
            manifest.roots.append(root);
        }
    }
    manifest.roots.sort();
    manifest.files = FileTreeScan::list(manifest.roots);
    QHash<std::pair<quint64, quint64>, const UnpackedFile *> byPlace;
    byPlace.reserve(unpacked.size());
    for (const UnpackedFile &file : unpacked)
        byPlace.insert({file.device, file.inode}, &file);
    for (ScannedFile &file : manifest.files) {
        // Changed since it was written (a template prepared after unpacking, say), it is read like any other.
        const UnpackedFile *written = byPlace.value({file.device, file.inode});
        if (written && written->size == file.size && written->modified == file.modified)
            file.digest = written->digest;
    }
    FileTreeScan::hash(manifest.files);
    return manifest;
}

std::optional<InstallManifest> InstallManifest::read(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    if (root.value("version"_L1).toInt() != formatVersion)
        return std::nullopt;
    InstallManifest manifest;
    manifest.product = root.value("product"_L1).toString();
    manifest.productId = root.value("productId"_L1).toInteger();
    manifest.version = root.value("release"_L1).toString();
    manifest.baseline = root.value("baseline"_L1).toBool();
    for (const QJsonValue &folder : root.value("roots"_L1).toArray())
        manifest.roots.append(folder.toString());
    const QJsonArray files = root.value("files"_L1).toArray();
    manifest.files.reserve(files.size());
    for (const QJsonValue &entry : files) {
        const QJsonArray fields = entry.toArray();
        manifest.files.append({fields.at(0).toString(), fields.at(1).toInteger(), fields.at(2).toInteger(),
                               fields.at(3).toString().toLatin1(), 0, 0});
    }
    return manifest;
}

Error InstallManifest::write(const QString &path) const {
    // Each file as [path, size, time, digest]: thousands of them stay compact.
    QJsonArray entries;
    for (const ScannedFile &file : files)
        entries.append(QJsonArray{file.path, file.size, file.modified, QString::fromLatin1(file.digest)});
    const QJsonObject root{{u"version"_s, formatVersion}, {u"product"_s, product},
                           {u"productId"_s, productId},   {u"release"_s, version},
                           {u"baseline"_s, baseline},     {u"roots"_s, QJsonArray::fromStringList(roots)},
                           {u"files"_s, entries}};
    if (const Error error = createFolderWithParents(QFileInfo(path).path()))
        return error;
    return writeFileAtomically(path, QJsonDocument(root).toJson(QJsonDocument::Compact));
}

} // namespace klv
