#include "library/InstallVerifier.h"

#include "library/InstallManifest.h"
#include "library/UnfinishedUpdate.h"

#include <QFileInfo>
#include <QHash>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

QString itemHolding(const QStringList &roots, const QString &path) {
    for (const QString &root : roots) {
        if (path == root || path.startsWith(root + u'/'))
            return root;
    }
    return {};
}

} // namespace

InstallVerifier::InstallVerifier(QString makerFolder)
    : m_makerFolder(std::move(makerFolder)) {}

ProductCheck InstallVerifier::verify(const QString &product, qint64 productId, const QString &version,
                                     const QStringList &installedItems, Depth depth) const {
    ProductCheck check;
    check.product = product;
    if (const std::optional<UnfinishedUpdate::Mark> mark = UnfinishedUpdate::markOf(m_makerFolder, product)) {
        check.unfinishedUpdate = mark->release;
        check.partsBehind = mark->partsBehind;
    }
    const QString path = InstallManifest::pathFor(m_makerFolder, product);
    const std::optional<InstallManifest> manifest = InstallManifest::read(path);
    if (!manifest) {
        check.recordUnreadable = QFileInfo::exists(path);
        if (installedItems.isEmpty()) {
            check.unknown = true;
            return check;
        }
        InstallManifest baseline = InstallManifest::describe(product, productId, version, installedItems);
        baseline.baseline = true;
        check.baselineTaken = !baseline.write(path);
        check.unknown = !check.baselineTaken;
        return check;
    }

    QHash<QString, qsizetype> recorded;
    recorded.reserve(manifest->files.size());
    for (qsizetype i = 0; i < manifest->files.size(); ++i)
        recorded.insert(manifest->files[i].path, i);
    QList<bool> seen(manifest->files.size(), false);
    QList<ScannedFile> toHash;
    QList<qsizetype> hashedAgainst;
    QList<QByteArray> recordedDigests;
    for (ScannedFile &found : FileTreeScan::list(manifest->roots)) {
        const auto at = recorded.constFind(found.path);
        if (at == recorded.cend()) {
            check.extra.append(found.path);
            continue;
        }
        seen[*at] = true;
        const ScannedFile &expected = manifest->files[*at];
        if (found.size != expected.size || (depth == Depth::quick && found.modified != expected.modified)) {
            check.changed.append(found.path);
        } else if (depth == Depth::full) {
            toHash.append(std::move(found));
            hashedAgainst.append(*at);
            recordedDigests.append(expected.digest);
        }
    }
    FileTreeScan::hashLike(toHash, recordedDigests);
    for (qsizetype i = 0; i < toHash.size(); ++i) {
        if (toHash[i].digest != recordedDigests[i])
            check.changed.append(toHash[i].path);
    }
    for (qsizetype i = 0; i < seen.size(); ++i) {
        if (!seen[i])
            check.missing.append(manifest->files[i].path);
    }
    check.changed.sort();
    for (const QStringList *differing : {&check.missing, &check.changed, &check.extra}) {
        for (const QString &file : *differing) {
            if (const QString item = itemHolding(manifest->roots, file);
                !item.isEmpty() && !check.damagedItems.contains(item))
                check.damagedItems.append(item);
        }
    }
    check.damagedItems.sort();
    return check;
}

} // namespace klv
