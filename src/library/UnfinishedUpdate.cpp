#include "library/UnfinishedUpdate.h"

#include "core/AtomicFileWrite.h"
#include "library/InstallManifest.h"

#include <QDir>
#include <QFile>

namespace klv {
namespace {

const QString suffix = QStringLiteral(".updating");

} // namespace

QString UnfinishedUpdate::pathFor(const QString &makerFolder, const QString &product) {
    return InstallManifest::folderIn(makerFolder) + product + suffix;
}

Error UnfinishedUpdate::begin(const QString &makerFolder, const QString &product, const QString &release) {
    if (!QDir().mkpath(InstallManifest::folderIn(makerFolder)))
        return QStringLiteral("the folder %1 could not be created").arg(InstallManifest::folderIn(makerFolder));
    return writeFileAtomically(pathFor(makerFolder, product), release.toUtf8());
}

void UnfinishedUpdate::end(const QString &makerFolder, const QString &product) {
    QFile::remove(pathFor(makerFolder, product));
}

std::optional<QString> UnfinishedUpdate::releaseOf(const QString &makerFolder, const QString &product) {
    QFile mark(pathFor(makerFolder, product));
    if (!mark.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A release date is a few characters; anything longer is not one.
    return QString::fromUtf8(mark.read(64)).trimmed();
}

QSet<QString> UnfinishedUpdate::products(const QString &makerFolder) {
    QSet<QString> products;
    for (QString name : QDir(InstallManifest::folderIn(makerFolder)).entryList({u'*' + suffix}, QDir::Files)) {
        name.chop(suffix.size());
        products.insert(name);
    }
    return products;
}

} // namespace klv
