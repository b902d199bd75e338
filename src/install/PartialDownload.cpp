#include "install/PartialDownload.h"

#include "core/AtomicFileWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QJsonDocument>
#include <QJsonObject>
#include <tuple>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

const QString partialSuffix = u".partial"_s;
const QString noteSuffix = u".json"_s;

// "A#B#templates.partial" (and its note) is product A#B's: the part follows the last '#'.
QString productOf(const QString &fileName) {
    return fileName.left(fileName.lastIndexOf(u'#'));
}

} // namespace

QByteArray PartialDownload::Validators::ifRange() const {
    return etag.isEmpty() || etag.startsWith("W/") ? lastModified : etag;
}

QString PartialDownload::addressOf(const QUrl &url) {
    return url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
}

QString PartialDownload::pathFor(const QString &downloadFolder, const QString &productName, const QString &part) {
    return downloadFolder + productName + u'#' + part + partialSuffix;
}

QString PartialDownload::notePath(const QString &partialPath) {
    return partialPath + noteSuffix;
}

void PartialDownload::writeNote(const QString &partialPath, const Validators &validators) {
    const QJsonObject note{{u"url"_s, validators.url},
                           {u"etag"_s, QString::fromLatin1(validators.etag)},
                           {u"lastModified"_s, QString::fromLatin1(validators.lastModified)}};
    // A partial without its note is never continued (a failed download drops it): a note that cannot be written
    // costs the resumption, nothing else.
    std::ignore = writeFileAtomically(notePath(partialPath), QJsonDocument(note).toJson(QJsonDocument::Compact));
}

std::optional<std::pair<PartialDownload::Validators, qint64>> PartialDownload::continuable(const QString &partialPath,
                                                                                           const QUrl &url) {
    QFile noteFile(notePath(partialPath));
    const QJsonObject note =
        noteFile.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(noteFile.readAll()).object() : QJsonObject();
    const Validators validators{note.value("url"_L1).toString(), note.value("etag"_L1).toString().toLatin1(),
                                note.value("lastModified"_L1).toString().toLatin1()};
    const qint64 length = QFileInfo(partialPath).size();
    if (validators.url == addressOf(url) && !validators.ifRange().isEmpty() && length > 0)
        return std::pair{validators, length};
    QFile::remove(partialPath);
    QFile::remove(notePath(partialPath));
    return std::nullopt;
}

qint64 PartialDownload::keptBytes(const QString &downloadFolder, const QString &productName) {
    qint64 kept = 0;
    // The name is compared as it stands: in a name filter, brackets or an asterisk in it would be wildcards.
    const QFileInfoList partials =
        QDir(downloadFolder).entryInfoList({u"*#*"_s + partialSuffix}, QDir::Files | QDir::Hidden);
    for (const QFileInfo &partial : partials) {
        if (productOf(partial.fileName()) == productName && QFileInfo::exists(notePath(partial.filePath())))
            kept += partial.size();
    }
    return kept;
}

QStringList PartialDownload::removeStale(const QString &downloadFolder,
                                         const std::function<QSet<QString>()> &libraryNames, const QDateTime &now) {
    QStringList removed;
    const QFileInfoList partials = QDir(downloadFolder)
                                       .entryInfoList({u"*#*"_s + partialSuffix, u"*#*"_s + partialSuffix + noteSuffix},
                                                      QDir::Files | QDir::Hidden);
    std::optional<QSet<QString>> products;
    for (const QFileInfo &partial : partials) {
        const QString product = productOf(partial.fileName());
        if (!products)
            products = libraryNames();
        // Without a library, only age tells.
        if (partial.lastModified().daysTo(now) < 7 && (products->isEmpty() || products->contains(product)))
            continue;
        if (QFile::remove(partial.filePath()))
            removed << partial.filePath();
    }
    return removed;
}

} // namespace klv
