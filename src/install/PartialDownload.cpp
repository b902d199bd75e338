#include "install/PartialDownload.h"

#include "core/AtomicFileWrite.h"

#include <QFile>
#include <QFileInfo>

#include <QJsonDocument>
#include <QJsonObject>
#include <tuple>

namespace klv {

using namespace Qt::StringLiterals;

QByteArray PartialDownload::Validators::ifRange() const {
    return etag.isEmpty() || etag.startsWith("W/") ? lastModified : etag;
}

QString PartialDownload::addressOf(const QUrl &url) {
    return url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
}

void PartialDownload::writeNote(const QString &partialPath, const Validators &validators) {
    const QJsonObject note{{u"url"_s, validators.url},
                           {u"etag"_s, QString::fromLatin1(validators.etag)},
                           {u"lastModified"_s, QString::fromLatin1(validators.lastModified)}};
    // A partial without its note is never continued (a failed download drops it): a note that cannot be written
    // costs the resumption, nothing else.
    std::ignore =
        writeFileAtomically(DownloadFolder::noteOf(partialPath), QJsonDocument(note).toJson(QJsonDocument::Compact));
}

std::optional<std::pair<PartialDownload::Validators, qint64>> PartialDownload::continuable(const QString &partialPath,
                                                                                           const QUrl &url) {
    QFile noteFile(DownloadFolder::noteOf(partialPath));
    const QJsonObject note =
        noteFile.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(noteFile.readAll()).object() : QJsonObject();
    const Validators validators{note.value("url"_L1).toString(), note.value("etag"_L1).toString().toLatin1(),
                                note.value("lastModified"_L1).toString().toLatin1()};
    const qint64 length = QFileInfo(partialPath).size();
    if (validators.url == addressOf(url) && !validators.ifRange().isEmpty() && length > 0)
        return std::pair{validators, length};
    QFile::remove(partialPath);
    QFile::remove(DownloadFolder::noteOf(partialPath));
    return std::nullopt;
}

qint64 PartialDownload::keptBytes(const DownloadFolder &folder, const QString &productName) {
    qint64 kept = 0;
    // The name is compared as it stands: in a name filter, brackets or an asterisk in it would be wildcards.
    for (const QFileInfo &partial : folder.partials()) {
        if (DownloadFolder::productOf(partial.fileName()) == productName &&
            QFileInfo::exists(DownloadFolder::noteOf(partial.filePath())))
            kept += partial.size();
    }
    return kept;
}

QStringList PartialDownload::removeStale(const DownloadFolder &folder,
                                         const std::function<QSet<QString>()> &libraryNames, const QDateTime &now) {
    QStringList removed;
    std::optional<QSet<QString>> products;
    for (const QFileInfo &partial : folder.partialsAndNotes()) {
        const QString product = DownloadFolder::productOf(partial.fileName());
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
