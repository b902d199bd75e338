#include "update/UpdateArchiveCheck.h"

#include "update/SelfUpdate.h"

#include <QCryptographicHash>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

using ReadArchive = std::unique_ptr<archive, decltype(&archive_read_free)>;

std::optional<QByteArray> sha256Of(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return std::nullopt;
    return hash.result().toHex();
}

// Reads every entry whole, so that a cut or damaged archive shows here rather than in the updater; what the
// application folder holds is noted on the way.
struct Contents {
    std::optional<QString> error;
    bool hasFolder = false;
    QString version;
};

Contents readWhole(const QString &archivePath, const QString &folderName) {
    Contents contents;
    ReadArchive reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(), 64 * 1024) != ARCHIVE_OK) {
        contents.error = u"the archive is damaged or not an archive"_s;
        return contents;
    }
    const QByteArray folder = folderName.toUtf8() + '/';
    const QByteArray versionEntry = folder + "version";
    archive_entry *entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        const QByteArray path(archive_entry_pathname(entry));
        contents.hasFolder = contents.hasFolder || path.startsWith(folder);
        QByteArray data;
        char block[64 * 1024];
        la_ssize_t read = 0;
        while ((read = archive_read_data(reader.get(), block, sizeof block)) > 0) {
            if (path == versionEntry && data.size() < 1024)
                data.append(block, read);
        }
        if (read < 0) {
            contents.error = u"the archive is damaged or not an archive"_s;
            return contents;
        }
        if (path == versionEntry)
            contents.version = QString::fromUtf8(data).section(u'\n', 0, 0).trimmed();
    }
    if (status != ARCHIVE_EOF)
        contents.error = u"the archive is damaged or not an archive"_s;
    return contents;
}

} // namespace

UpdateArchiveCheck::Outcome UpdateArchiveCheck::run(const QString &archivePath) const {
    if (!expectedSha256.isEmpty()) {
        const std::optional<QByteArray> actual = sha256Of(archivePath);
        if (!actual)
            return {{}, u"the archive "_s + archivePath + u" cannot be read"_s};
        if (QString::fromLatin1(*actual).compare(expectedSha256, Qt::CaseInsensitive) != 0)
            return {{},
                    u"its SHA-256 is %1, not %2 as the store says"_s.arg(QString::fromLatin1(*actual), expectedSha256)};
    }
    const Contents contents = readWhole(archivePath, folderName);
    if (contents.error)
        return {{}, *contents.error};
    if (!contents.hasFolder)
        return {{}, u"the archive holds no “%1” folder"_s.arg(folderName)};
    if (contents.version.isEmpty())
        return {{}, u"the archive's “%1” names no version"_s.arg(folderName)};
    if (!std::is_gt(compareVersions(installedVersion, contents.version)))
        return {contents.version, u"the archive holds version %1, which is not newer than the running %2"_s.arg(
                                      contents.version, installedVersion)};
    return {contents.version, std::nullopt};
}

} // namespace klv
