#include "library/UnfinishedUpdate.h"

#include "core/AtomicFileWrite.h"
#include "library/InstallManifest.h"

#include <QDir>
#include <QFile>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

const QString suffix = QStringLiteral(".updating");
const QString partSeparator = QStringLiteral(", ");
// A release date and a few part names; anything longer is not a mark.
constexpr qint64 longestMark = 512;

} // namespace

QString UnfinishedUpdate::pathFor(const QString &makerFolder, const QString &product) {
    return InstallManifest::folderIn(makerFolder) + product + suffix;
}

Error UnfinishedUpdate::begin(const QString &makerFolder, const QString &product, const Mark &mark) {
    if (!QDir().mkpath(InstallManifest::folderIn(makerFolder)))
        return u"the folder %1 could not be created"_s.arg(InstallManifest::folderIn(makerFolder));
    QString content = mark.release;
    if (!mark.partsBehind.isEmpty())
        content += u'\n' + mark.partsBehind.join(partSeparator);
    return writeFileAtomically(pathFor(makerFolder, product), content.toUtf8());
}

void UnfinishedUpdate::end(const QString &makerFolder, const QString &product) {
    QFile::remove(pathFor(makerFolder, product));
}

Error UnfinishedUpdate::partPlaced(const QString &makerFolder, const QString &product, const QString &part) {
    std::optional<Mark> mark = markOf(makerFolder, product);
    if (!mark || !mark->partsBehind.contains(part))
        return std::nullopt;
    mark->partsBehind.removeAll(part);
    if (mark->partsBehind.isEmpty()) {
        end(makerFolder, product);
        return std::nullopt;
    }
    return begin(makerFolder, product, *mark);
}

std::optional<UnfinishedUpdate::Mark> UnfinishedUpdate::markOf(const QString &makerFolder, const QString &product) {
    QFile file(pathFor(makerFolder, product));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(file.read(longestMark)).split(u'\n');
    Mark mark{lines.value(0).trimmed(), {}};
    for (const QString &part : lines.value(1).split(u',', Qt::SkipEmptyParts))
        mark.partsBehind.append(part.trimmed());
    return mark;
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
