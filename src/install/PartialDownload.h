#pragma once

#include "core/DownloadFolder.h"

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace klv {

// A package that downloads into "<product>#<part>.partial" beside the job folders, so that whatever ends the
// download (a network drop, a stalled store, Ctrl-C, kill -9, a crash) leaves the bytes received, and the next
// attempt continues them. Beside it, "….partial.json" holds what validates them, written as soon as the store has
// answered: the address and the store's ETag and Last-Modified. The file's own length says how far it got. A partial
// without a note, of another address, or without a validator is not continued but started over; once the download
// is whole the note goes, so a package that then fails to install is downloaded anew.
class PartialDownload final {
public:
    struct Validators {
        QString url;
        QByteArray etag;
        QByteArray lastModified;

        // What If-Range carries: a strong ETag, else the date; empty when the store gave neither. A weak ETag
        // cannot vouch for single bytes.
        QByteArray ifRange() const;
    };

    // The address a partial is of: without its query, which a signed download link changes from one answer to the
    // next while the file stays the same (If-Range still tells a changed file).
    static QString addressOf(const QUrl &url);
    static void writeNote(const QString &partialPath, const Validators &validators);
    // The validators of a partial of that address that can be continued, and its length; otherwise nothing, and
    // the partial and its note are removed.
    static std::optional<std::pair<Validators, qint64>> continuable(const QString &partialPath, const QUrl &url);
    // The bytes kept for the product's next download: those of its partials that can be continued.
    static qint64 keptBytes(const DownloadFolder &folder, const QString &productName);
    // Removes partials (and notes) untouched for a week, or of products the library does not have. The library's
    // names are asked for only once a partial is found: most starts find none.
    static QStringList removeStale(const DownloadFolder &folder, const std::function<QSet<QString>()> &libraryNames,
                                   const QDateTime &now);
};

} // namespace klv
