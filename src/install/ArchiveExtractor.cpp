#include "install/ArchiveExtractor.h"

#include "core/ByteCountFormat.h"
#include "install/CreatedPaths.h"

#include <archive.h>
#include <archive_entry.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <memory>
#include <utility>

namespace klv {
namespace {

using ReadArchive = std::unique_ptr<archive, decltype(&archive_read_free)>;
using DiskWriter = std::unique_ptr<archive, decltype(&archive_write_free)>;

constexpr size_t readBlockSize = 256 * 1024;
constexpr qint64 progressStep = 1 << 20;

// No ARCHIVE_EXTRACT_OWNER (run as root it would hand files to whoever the archive names) and no
// ARCHIVE_EXTRACT_PERM (it would restore set-id bits); nor ACLs, extended attributes or file flags.
// Our paths are absolute, so NOABSOLUTEPATHS cannot be used: entry names are checked by hand instead.
constexpr int writeFlags = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS;

QString errorText(archive *handle) {
    const char *text = archive_error_string(handle);
    return text ? QString::fromUtf8(text) : QStringLiteral("unknown error");
}

QString entryName(archive_entry *entry) {
    if (const char *name = archive_entry_pathname(entry))
        return QFile::decodeName(name);
    return QString::fromUtf8(archive_entry_pathname_utf8(entry));
}

QString damagedMessage(const QString &archiveName, archive *reader) {
    return QStringLiteral("The archive “%1” is damaged or not an archive: %2.").arg(archiveName, errorText(reader));
}

QString tooLargeMessage(const QString &archiveName, qint64 byteLimit) {
    return QStringLiteral("The archive “%1” expands beyond %2.").arg(archiveName, formatByteCount(byteLimit));
}

// The entry's path below the destination, without "." and empty components. Empty when the entry is skipped;
// an error when it must not be extracted at all.
struct CheckedEntry {
    QStringList components;
    std::optional<QString> error;
};

CheckedEntry checkEntry(archive_entry *entry, const QString &archiveName) {
    const QString name = entryName(entry);
    if (name.isEmpty())
        return {{}, QStringLiteral("The archive “%1” holds an entry without a name.").arg(archiveName)};
    QStringList components = name.split(u'/', Qt::SkipEmptyParts);
    components.removeAll(QStringLiteral("."));
    if (name.startsWith(u'/') || components.contains(QStringLiteral("..")))
        return {{},
                QStringLiteral("The archive “%1” holds an entry with an unsafe name: “%2”.").arg(archiveName, name)};
    // Resource forks that macOS adds when it zips a folder; they are not part of the content.
    if (components.contains(QStringLiteral("__MACOSX")))
        return {};
    // The secure flags stop writing through links, not creating them; so no link is created at all.
    if (archive_entry_hardlink(entry) || archive_entry_filetype(entry) == AE_IFLNK)
        return {{}, QStringLiteral("The archive “%1” holds a link, which is refused: “%2”.").arg(archiveName, name)};
    const auto type = archive_entry_filetype(entry);
    if (type != AE_IFREG && type != AE_IFDIR)
        return {{},
                QStringLiteral("The archive “%1” holds “%2”, which is neither a file nor a folder.")
                    .arg(archiveName, name)};
    return {components, std::nullopt};
}

// Group and others never get write access; the owner can always read, write and enter what was unpacked, so
// that the installers can move it and a failed extraction can remove it.
void makePermissionsSafe(archive_entry *entry) {
    const bool folder = archive_entry_filetype(entry) == AE_IFDIR;
    archive_entry_set_perm(entry, (archive_entry_perm(entry) & 0755) | (folder ? 0700 : 0600));
}

// Zip archives list their entries up front. Reading that list first refuses hostile archives and zip bombs
// before anything is written, and gives progress a total. Other formats are checked as they stream.
struct Survey {
    qint64 declaredBytes = -1;
    std::optional<QString> error;
};

Survey surveyZip(const QByteArray &archiveFile, const QString &archiveName, qint64 byteLimit) {
    ReadArchive reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_zip_seekable(reader.get());
    if (archive_read_open_filename(reader.get(), archiveFile.constData(), readBlockSize) != ARCHIVE_OK)
        return {}; // not a zip; the streaming pass tells what it is
    qint64 total = 0;
    bool sizesKnown = true;
    archive_entry *entry = nullptr;
    for (int status; (status = archive_read_next_header(reader.get(), &entry)) != ARCHIVE_EOF;) {
        if (status < ARCHIVE_WARN)
            return {-1, damagedMessage(archiveName, reader.get())};
        CheckedEntry checked = checkEntry(entry, archiveName);
        if (checked.error)
            return {-1, std::move(checked.error)};
        if (checked.components.isEmpty())
            continue;
        if (!archive_entry_size_is_set(entry)) {
            sizesKnown = false;
            continue;
        }
        const qint64 size = archive_entry_size(entry);
        if (size > byteLimit - total)
            return {-1, tooLargeMessage(archiveName, byteLimit)};
        total += size;
    }
    return {sizesKnown ? total : -1, std::nullopt};
}

// What creating the folder adds: the outermost folder on its path that does not exist yet, if any.
std::optional<QString> outermostMissingFolder(const QString &path) {
    std::optional<QString> outermost;
    for (QString current = QDir::cleanPath(QDir(path).absolutePath()); !QFileInfo::exists(current);
         current = QFileInfo(current).path())
        outermost = current;
    return outermost;
}

struct Unpacking {
    QByteArray archiveFile;
    QString archiveName;
    QString root;
    qint64 byteLimit;
    qint64 declaredBytes;
    const ArchiveExtractor::ProgressHandler &onProgress;
    std::stop_token stop;
};

std::optional<QString> unpack(const Unpacking &job, CreatedPaths &created, ArchiveExtractor::Result &result) {
    const auto cancelled = [&] {
        result.cancelled = true;
        return QStringLiteral("Unpacking “%1” was cancelled.").arg(job.archiveName);
    };
    ReadArchive reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_all(reader.get());
    // Only filters libarchive decodes itself: the others would start external programs.
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_bzip2(reader.get());
    archive_read_support_filter_xz(reader.get());
    archive_read_support_filter_lzma(reader.get());
    archive_read_support_filter_zstd(reader.get());
    if (archive_read_open_filename(reader.get(), job.archiveFile.constData(), readBlockSize) != ARCHIVE_OK)
        return damagedMessage(job.archiveName, reader.get());

    DiskWriter writer(archive_write_disk_new(), &archive_write_free);
    archive_write_disk_set_options(writer.get(), writeFlags);

    QSet<QString> topLevel;
    qint64 reported = 0;
    const auto report = [&](qint64 total) {
        if (job.onProgress)
            job.onProgress(result.bytesWritten, total);
        reported = result.bytesWritten;
    };
    archive_entry *entry = nullptr;
    for (int status; (status = archive_read_next_header(reader.get(), &entry)) != ARCHIVE_EOF;) {
        if (job.stop.stop_requested())
            return cancelled();
        if (status < ARCHIVE_WARN)
            return damagedMessage(job.archiveName, reader.get());
        CheckedEntry checked = checkEntry(entry, job.archiveName);
        if (checked.error)
            return checked.error;
        if (checked.components.isEmpty())
            continue;

        const QString relative = checked.components.join(u'/');
        const auto writeFailed = [&] {
            return QStringLiteral("“%1” could not be written: %2.").arg(relative, errorText(writer.get()));
        };
        created.noteBeforeWriting(checked.components);
        if (!topLevel.contains(checked.components.first())) {
            topLevel.insert(checked.components.first());
            result.topLevelItems.append(checked.components.first());
        }
        makePermissionsSafe(entry);
        archive_entry_copy_pathname(entry, QFile::encodeName(job.root + u'/' + relative).constData());
        if (archive_write_header(writer.get(), entry) < ARCHIVE_WARN)
            return writeFailed();

        const void *block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        for (int read; (read = archive_read_data_block(reader.get(), &block, &size, &offset)) != ARCHIVE_EOF;) {
            if (job.stop.stop_requested())
                return cancelled();
            // A warning here is a failed checksum: the data is not what was packed.
            if (read != ARCHIVE_OK)
                return damagedMessage(job.archiveName, reader.get());
            const auto blockBytes = static_cast<qint64>(size);
            if (blockBytes > job.byteLimit - result.bytesWritten)
                return tooLargeMessage(job.archiveName, job.byteLimit);
            if (archive_write_data_block(writer.get(), block, size, offset) < ARCHIVE_WARN)
                return writeFailed();
            result.bytesWritten += blockBytes;
            if (result.bytesWritten - reported >= progressStep)
                report(job.declaredBytes);
        }
        if (archive_write_finish_entry(writer.get()) < ARCHIVE_WARN)
            return writeFailed();
    }
    if (archive_format(reader.get()) == ARCHIVE_FORMAT_EMPTY)
        return QStringLiteral("The archive “%1” is empty.").arg(job.archiveName);
    // Closing applies the folders' times and permissions, which libarchive sets last.
    if (archive_write_close(writer.get()) != ARCHIVE_OK)
        return QStringLiteral("Unpacking “%1” could not be finished: %2.")
            .arg(job.archiveName, errorText(writer.get()));
    report(job.declaredBytes < 0 ? result.bytesWritten : job.declaredBytes);
    return std::nullopt;
}

} // namespace

ArchiveExtractor::ArchiveExtractor(qint64 byteLimit, ProgressHandler onProgress)
    : m_byteLimit(byteLimit)
    , m_onProgress(std::move(onProgress)) {}

ArchiveExtractor::Result ArchiveExtractor::extract(const QString &archivePath, const QString &destination,
                                                   std::stop_token stop) const {
    Result result;
    const QString archiveName = QFileInfo(archivePath).fileName();
    const QByteArray archiveFile = QFile::encodeName(archivePath);
    Survey survey = surveyZip(archiveFile, archiveName, m_byteLimit);
    if (survey.error) {
        result.error = std::move(survey.error);
        return result;
    }

    const std::optional<QString> createdDestination = outermostMissingFolder(destination);
    // Canonical, because libarchive refuses to write through any link on the path, the destination's own too.
    const QString root = QDir().mkpath(destination) ? QFileInfo(destination).canonicalFilePath() : QString();
    if (root.isEmpty()) {
        result.error = QStringLiteral("The folder “%1” could not be created.").arg(destination);
        return result;
    }

    CreatedPaths created(root);
    result.error = unpack({archiveFile, archiveName, root, m_byteLimit, survey.declaredBytes, m_onProgress, stop},
                          created, result);
    if (result.error) {
        result.topLevelItems.clear();
        created.removeAll();
        if (createdDestination)
            QDir(*createdDestination).removeRecursively();
    }
    return result;
}

} // namespace klv
