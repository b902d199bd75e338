#include "install/ArchiveExtractor.h"

#include "core/ByteCountFormat.h"
#include "core/ControlCharacters.h"
#include "install/CreatedPaths.h"
#include "install/ExtractionFolder.h"
#include "install/FileRange.h"
#include "install/GrowingDownload.h"
#include "install/PackageJunk.h"
#include "install/PathCollisions.h"
#include "install/ZipDirectory.h"
#include "library/FileTreeScan.h"

#include <archive.h>
#include <archive_entry.h>
#include <libdeflate.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace klv {
namespace {

using ReadArchive = std::unique_ptr<archive, decltype(&archive_read_free)>;

constexpr size_t readBlockSize = 256 * 1024;
constexpr qint64 progressStep = 1 << 20;

// Items are written by ExtractionFolder rather than libarchive's disk writer, whose link check opens every folder of
// the absolute destination path for every entry. What is written is the content, the permissions made safe and the
// times; never the owner (run as root it would hand files to whoever the archive names), set-id bits, ACLs, extended
// attributes or file flags.

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

QString listDisagreesMessage(const QString &archiveName, const QString &entryPath) {
    return QStringLiteral("The archive “%1” is damaged: “%2” is not what its list of entries says.")
        .arg(archiveName, escapeControlCharacters(entryPath));
}

// C0 and C1 controls and DEL: a name holding one could not be shown or typed as what it is.
bool hasControlCharacter(const QString &name) {
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) {
        const char16_t code = c.unicode();
        return code < 0x20 || (code >= 0x7f && code <= 0x9f);
    });
}

// The entry's path below the destination, without "." and empty components. Empty when the entry is skipped;
// an error when it must not be extracted at all.
struct CheckedEntry {
    QStringList components;
    std::optional<QString> error;
};

CheckedEntry checkEntry(ZipDirectory::Type type, const QString &name, const QString &archiveName) {
    if (name.isEmpty())
        return {{}, QStringLiteral("The archive “%1” holds an entry without a name.").arg(archiveName)};
    QStringList components = ZipDirectory::pathComponents(name);
    if (name.startsWith(u'/') || components.contains(QStringLiteral("..")) || hasControlCharacter(name))
        return {{},
                QStringLiteral("The archive “%1” holds an entry with an unsafe name: “%2”.")
                    .arg(archiveName, escapeControlCharacters(name))};
    if (isPackageJunk(components))
        return {};
    // The secure flags stop writing through links, not creating them; so no link is created at all.
    if (type == ZipDirectory::Type::link)
        return {{}, QStringLiteral("The archive “%1” holds a link, which is refused: “%2”.").arg(archiveName, name)};
    if (type == ZipDirectory::Type::other)
        return {{},
                QStringLiteral("The archive “%1” holds “%2”, which is neither a file nor a folder.")
                    .arg(archiveName, name)};
    return {components, std::nullopt};
}

ZipDirectory::Type typeOf(archive_entry *entry) {
    if (archive_entry_hardlink(entry))
        return ZipDirectory::Type::link;
    switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
        return ZipDirectory::Type::file;
    case AE_IFDIR:
        return ZipDirectory::Type::folder;
    case AE_IFLNK:
        return ZipDirectory::Type::link;
    default:
        return ZipDirectory::Type::other;
    }
}

// Group and others never get write access; the owner can always read, write and enter what was unpacked, so
// that the installers can move it and a failed extraction can remove it.
void makePermissionsSafe(archive_entry *entry) {
    const bool folder = archive_entry_filetype(entry) == AE_IFDIR;
    archive_entry_set_perm(entry, (archive_entry_perm(entry) & 0755) | (folder ? 0700 : 0600));
}

// Zip archives list their entries at their end. Reading that list first refuses damaged and hostile archives and
// zip bombs before anything is written, and gives progress a total. Other formats are checked as they stream.
struct Survey {
    qint64 declaredBytes = -1;
    std::optional<QString> error;
    ZipDirectory directory;
};

Survey surveyZip(const QByteArray &archiveFile, const QString &archiveName, qint64 byteLimit) {
    Survey survey{-1, std::nullopt, ZipDirectory::readFile(QFile::decodeName(archiveFile))};
    const ZipDirectory &directory = survey.directory;
    if (directory.kind() == ZipDirectory::Kind::notZip)
        return survey; // the streaming pass tells what it is
    if (directory.kind() == ZipDirectory::Kind::damaged) {
        survey.error = QStringLiteral("The archive “%1” is damaged: %2.").arg(archiveName, directory.damage());
        return survey;
    }
    qint64 total = 0;
    for (const ZipDirectory::Entry &listed : directory.entries()) {
        if (listed.folder() || isPackageJunk(listed.components))
            continue;
        if (listed.size > byteLimit - total) {
            survey.error = tooLargeMessage(archiveName, byteLimit);
            return survey;
        }
        total += listed.size;
    }
    survey.declaredBytes = total;

    // Only the list tells links and special files from plain files; the local headers do not say.
    for (const ZipDirectory::Entry &listed : directory.entries()) {
        if (CheckedEntry checked = checkEntry(listed.type, listed.name, archiveName); checked.error) {
            survey.error = std::move(checked.error);
            return survey;
        }
    }
    return survey;
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
    const GrowingDownload *download;             // nothing when the file is complete
    const ZipDirectory *directory;               // a complete zip's list of entries
    const ArchiveExtractor::EntryEditor *editor; // nothing when entries are written as they are
    QString archiveName;
    QString root;
    qint64 byteLimit;
    qint64 declaredBytes;
    const ArchiveExtractor::ProgressHandler &onProgress;
    std::stop_token stop;
};

struct FolderTimes {
    QStringList components;
    timespec times[2];
};

// The entry's access and modification times; nothing when the archive does not say when it was modified.
std::optional<FolderTimes> timesOf(archive_entry *entry, const QStringList &components) {
    if (!archive_entry_mtime_is_set(entry))
        return std::nullopt;
    FolderTimes times{components, {}};
    times.times[1] = {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)};
    times.times[0] = archive_entry_atime_is_set(entry)
                         ? timespec{archive_entry_atime(entry), archive_entry_atime_nsec(entry)}
                         : times.times[1];
    return times;
}

bool writeAll(int file, const char *data, size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(file, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        data += written;
        size -= size_t(written);
        offset += written;
    }
    return true;
}

class OpenFile {
public:
    explicit OpenFile(int descriptor)
        : m_descriptor(descriptor) {}
    ~OpenFile() {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    int get() const { return m_descriptor; }
    // Closing reports late write errors (on some file systems the first sign of a full disk).
    bool close() { return ::close(std::exchange(m_descriptor, -1)) == 0; }

private:
    int m_descriptor;
};

// Feeds libarchive the bytes of a file being downloaded, waiting for each block to arrive.
class GrowingSource {
public:
    GrowingSource(const QByteArray &file, const GrowingDownload &download, std::stop_token stop)
        : m_file(::open(file.constData(), O_RDONLY | O_CLOEXEC))
        , m_openError(errno)
        , m_download(download)
        , m_stop(std::move(stop))
        , m_block(readBlockSize) {}
    // Why the file could not be opened, or 0.
    int openError() const { return m_file.get() >= 0 ? 0 : m_openError; }
    int open(archive *reader) {
        return archive_read_open(reader, this, nullptr, &GrowingSource::readCallback, nullptr);
    }
    // The name in the first local header at or after `from` among the bytes handed out so far: libarchive tells
    // where it began to look for a header, which is before a data descriptor or a self-extracting program.
    std::optional<QString> localNameAt(qint64 from) const {
        // Most often the header starts where the search does.
        if (std::optional<QString> name = nameOfHeaderAt(from))
            return name;
        constexpr qint64 window = 64 * 1024;
        for (qint64 at = from; at < m_offset; at += window - 3) {
            const QByteArray bytes = readFileRange(m_file.get(), at, std::min(window, m_offset - at));
            if (const qsizetype found = bytes.indexOf("PK\3\4"); found >= 0)
                return nameOfHeaderAt(at + found);
            if (bytes.size() < window)
                break;
        }
        return std::nullopt;
    }

private:
    std::optional<QString> nameOfHeaderAt(qint64 at) const {
        // libarchive has just read the header, most often from the last block handed to it, which is still here.
        const qint64 blockStart = m_offset - m_blockBytes;
        if (at >= blockStart && at < m_offset) {
            const QByteArrayView held(m_block.data() + (at - blockStart), m_offset - at);
            if (const std::optional<qint64> length = ZipDirectory::localHeaderLength(held);
                length && *length <= held.size())
                return ZipDirectory::localHeaderName(held);
        }
        QByteArray header = readFileRange(m_file.get(), at, ZipDirectory::commonLocalHeader);
        const std::optional<qint64> length = ZipDirectory::localHeaderLength(header);
        if (!length)
            return std::nullopt;
        if (*length > header.size())
            header = readFileRange(m_file.get(), at, *length);
        return ZipDirectory::localHeaderName(header);
    }
    static la_ssize_t readCallback(archive *reader, void *source, const void **block) {
        return static_cast<GrowingSource *>(source)->read(reader, block);
    }
    la_ssize_t read(archive *reader, const void **block) {
        const GrowingDownload::Extent extent = m_download.waitBeyond(m_offset, m_stop);
        if (m_stop.stop_requested()) {
            archive_set_error(reader, ECANCELED, "cancelled");
            return ARCHIVE_FATAL;
        }
        if (extent.error) {
            archive_set_error(reader, EIO, "%s", extent.error->toUtf8().constData());
            return ARCHIVE_FATAL;
        }
        const qint64 wanted = std::min<qint64>(extent.written - m_offset, qint64(m_block.size()));
        if (wanted <= 0) {
            if (extent.ended)
                return 0;
            archive_set_error(reader, EIO, "the download went back");
            return ARCHIVE_FATAL;
        }
        ssize_t got;
        do {
            got = ::pread(m_file.get(), m_block.data(), size_t(wanted), m_offset);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            archive_set_error(reader, got < 0 ? errno : EIO, "the download could not be read");
            return ARCHIVE_FATAL;
        }
        m_offset += got;
        m_blockBytes = got;
        *block = m_block.data();
        return got;
    }

    OpenFile m_file;
    int m_openError;
    const GrowingDownload &m_download;
    std::stop_token m_stop;
    std::vector<char> m_block;
    qint64 m_offset = 0;
    // How much of m_block the last read filled: the file's bytes up to m_offset.
    qint64 m_blockBytes = 0;
};

// Every entry the unpacking met, in order, for the comparison with a zip's list of entries.
struct ReadLog {
    std::vector<ZipDirectory::ReadEntry> entries;
    bool zip = false;
};

// The checksum of an entry's bytes, which arrive in order: false for a block that does not follow the last.
// libdeflate's CRC-32 is zlib's, several times as fast where the processor multiplies without carries.
class RunningChecksum {
public:
    bool add(const void *block, size_t size, la_int64_t offset) {
        if (offset != m_end)
            return false;
        // libarchive ends some entries with an empty block without data.
        if (size == 0)
            return true;
        m_value = libdeflate_crc32(m_value, block, size);
        m_end += la_int64_t(size);
        return true;
    }
    quint32 value() const { return m_value; }

private:
    quint32 m_value = 0;
    la_int64_t m_end = 0;
};

Error unpack(const Unpacking &job, CreatedPaths &created, ArchiveExtractor::Result &result, ReadLog &readLog) {
    const auto cancelled = [&] {
        result.cancelled = true;
        return QStringLiteral("Unpacking “%1” was cancelled.").arg(job.archiveName);
    };
    ReadArchive reader(archive_read_new(), &archive_read_free);
    // A stop ends a wait for download bytes as a read error; it counts as the stop it is.
    const auto unreadable = [&] {
        if (job.stop.stop_requested())
            return cancelled();
        result.unreadable = true;
        return damagedMessage(job.archiveName, reader.get());
    };
    archive_read_support_format_all(reader.get());
    // Only filters libarchive decodes itself: the others would start external programs.
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_bzip2(reader.get());
    archive_read_support_filter_xz(reader.get());
    archive_read_support_filter_lzma(reader.get());
    archive_read_support_filter_zstd(reader.get());
    std::optional<GrowingSource> growing;
    if (job.download) {
        // What arrives is read by its local headers; each entry's checksum is compared with the list at the end
        // instead, so it is computed once, here.
        archive_read_set_options(reader.get(), "zip:ignorecrc32");
        growing.emplace(job.archiveFile, *job.download, job.stop);
        if (const int error = growing->openError()) {
            result.unreadable = true;
            return QStringLiteral("The download of “%1” could not be read: %2.")
                .arg(job.archiveName, QString::fromLocal8Bit(std::strerror(error)));
        }
    }
    if ((growing ? growing->open(reader.get())
                 : archive_read_open_filename(reader.get(), job.archiveFile.constData(), readBlockSize)) != ARCHIVE_OK)
        return unreadable();

    ExtractionFolder folder(job.root);
    if (const int error = folder.openError())
        return QStringLiteral("The folder “%1” could not be opened: %2.")
            .arg(job.root, QString::fromLocal8Bit(std::strerror(error)));
    // Folder times are set last: writing into a folder changes its modification time.
    std::vector<FolderTimes> folderTimes;

    QSet<QString> topLevel;
    qint64 reported = 0;
    const auto report = [&](qint64 total) {
        if (job.onProgress)
            job.onProgress(result.bytesWritten, total, archive_filter_bytes(reader.get(), -1));
        reported = result.bytesWritten;
    };
    // A zip's names are read as its list reads them (libarchive would normalise them and guess their encoding): by
    // the entry's place in the list, or, while the file arrives, from the local header.
    size_t zipIndex = 0;
    const auto zipName = [&]() -> std::optional<QString> {
        if (growing)
            return growing->localNameAt(archive_read_header_position(reader.get()));
        if (job.directory && zipIndex < job.directory->entries().size())
            return job.directory->entries()[zipIndex].name;
        return std::nullopt;
    };
    // libarchive checks what it reads from a complete zip against the list's checksum of the entry it has just read.
    const auto listedChecksum = [&]() -> std::optional<quint32> {
        if (growing || !readLog.zip || !job.directory || zipIndex == 0 || zipIndex > job.directory->entries().size())
            return std::nullopt;
        return job.directory->entries()[zipIndex - 1].crc;
    };
    PathCollisions written;
    archive_entry *entry = nullptr;
    for (int status; (status = archive_read_next_header(reader.get(), &entry)) != ARCHIVE_EOF;) {
        if (job.stop.stop_requested())
            return cancelled();
        if (status < ARCHIVE_WARN)
            return unreadable();
        readLog.zip = (archive_format(reader.get()) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP;
        const QString name = (readLog.zip ? zipName() : std::nullopt).value_or(entryName(entry));
        zipIndex += readLog.zip ? 1 : 0;
        // A name that ends in a slash is a folder, whatever libarchive made of the name it read itself.
        if (readLog.zip && name.endsWith(u'/') && archive_entry_filetype(entry) == AE_IFREG &&
            archive_entry_size(entry) == 0)
            archive_entry_set_filetype(entry, AE_IFDIR);
        readLog.entries.push_back({ZipDirectory::pathComponents(name), archive_entry_filetype(entry) == AE_IFDIR,
                                   std::nullopt, std::nullopt});
        CheckedEntry checked = checkEntry(typeOf(entry), name, job.archiveName);
        if (checked.error)
            return checked.error;
        if (checked.components.isEmpty())
            continue;
        // A second entry on a path would replace the first or fail to be written. What arrives may hold local headers
        // its list leaves out, so then the complete file decides.
        if (const Error path = written.add(checked.components, archive_entry_filetype(entry) == AE_IFDIR)) {
            result.unreadable = growing.has_value();
            return QStringLiteral("The archive “%1” is damaged: two of its entries would be written to “%2”.")
                .arg(job.archiveName, escapeControlCharacters(*path));
        }

        const auto writeFailed = [&](int error) {
            return QStringLiteral("“%1” could not be written: %2.")
                .arg(checked.components.join(u'/'), QString::fromLocal8Bit(std::strerror(error)));
        };
        created.noteBeforeWriting(checked.components);
        if (!topLevel.contains(checked.components.first())) {
            topLevel.insert(checked.components.first());
            result.topLevelItems.append(checked.components.first());
        }
        makePermissionsSafe(entry);
        const auto mode = mode_t(archive_entry_perm(entry));
        std::optional<FolderTimes> times = timesOf(entry, checked.components);
        if (archive_entry_filetype(entry) == AE_IFDIR) {
            if (const int error = folder.makeFolder(checked.components, mode))
                return writeFailed(error);
            if (times)
                folderTimes.push_back(std::move(*times));
            continue;
        }

        OpenFile file(folder.createFile(checked.components, mode));
        if (file.get() < 0)
            return writeFailed(-file.get());
        // A small entry its editor wants is held whole, edited and written once.
        const bool wanted = job.editor && job.editor->wants(checked.components);
        const bool held =
            wanted && archive_entry_size_is_set(entry) && archive_entry_size(entry) <= job.editor->largestEntry;
        QByteArray content(held ? qsizetype(archive_entry_size(entry)) : 0, '\0');
        const bool counted = job.download && readLog.zip;
        RunningChecksum checksum;
        const void *block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        la_int64_t end = 0;
        for (int read; (read = archive_read_data_block(reader.get(), &block, &size, &offset)) != ARCHIVE_EOF;) {
            if (job.stop.stop_requested())
                return cancelled();
            // A warning here is a failed checksum: the data is not what was packed.
            if (read != ARCHIVE_OK)
                return unreadable();
            const auto blockBytes = static_cast<qint64>(size);
            if (blockBytes > job.byteLimit - result.bytesWritten)
                return tooLargeMessage(job.archiveName, job.byteLimit);
            if (held && offset + la_int64_t(size) > content.size())
                return QStringLiteral("The archive “%1” is damaged: “%2” is longer than it says.")
                    .arg(job.archiveName, checked.components.join(u'/'));
            if (held) {
                if (size > 0)
                    std::memcpy(content.data() + offset, block, size);
            } else if (!writeAll(file.get(), static_cast<const char *>(block), size, offset))
                return writeFailed(errno);
            end = std::max(end, offset + la_int64_t(size));
            if (counted && !checksum.add(block, size, offset))
                return listDisagreesMessage(job.archiveName, checked.components.join(u'/'));
            result.bytesWritten += blockBytes;
            if (result.bytesWritten - reported >= progressStep)
                report(job.declaredBytes);
        }
        // Only a sparse file may end in a hole; any other entry holds exactly the bytes its header says.
        const bool sparse = archive_entry_sparse_count(entry) > 0;
        if (archive_entry_size_is_set(entry) && !sparse && end != archive_entry_size(entry))
            return QStringLiteral("The archive “%1” is damaged: “%2” is not as long as it says.")
                .arg(job.archiveName, checked.components.join(u'/'));
        readLog.entries.back().bytes = end;
        // libarchive checks the checksum of an entry with data; an empty one's is checked against the list here.
        if (counted || (readLog.zip && end == 0))
            readLog.entries.back().crc = checksum.value();
        if (held) {
            job.editor->edit(checked.components, content);
            if (!writeAll(file.get(), content.constData(), size_t(content.size()), 0))
                return writeFailed(errno);
        } else if (sparse && archive_entry_size_is_set(entry) && archive_entry_size(entry) > end &&
                   ::ftruncate(file.get(), archive_entry_size(entry)) != 0) {
            return writeFailed(errno);
        }
        if (times && ::futimens(file.get(), times->times) != 0)
            return writeFailed(errno);
        // What was written is known here: the bytes the archive's checksum vouches for, or the edited content. Its
        // record needs no second reading.
        const std::optional<quint32> verifiedCrc = counted ? std::optional(checksum.value()) : listedChecksum();
        const QByteArray digest = held          ? FileTreeScan::sha256Digest(content)
                                  : verifiedCrc ? FileTreeScan::crc32Digest(*verifiedCrc)
                                                : QByteArray();
        if (struct stat placed{}; !digest.isEmpty() && ::fstat(file.get(), &placed) == 0)
            result.unpackedFiles.append({quint64(placed.st_dev), quint64(placed.st_ino), qint64(placed.st_size),
                                         qint64(placed.st_mtim.tv_sec) * 1'000'000'000 + placed.st_mtim.tv_nsec,
                                         digest});
        if (!file.close())
            return writeFailed(errno);
    }
    if (archive_format(reader.get()) == ARCHIVE_FORMAT_EMPTY)
        return QStringLiteral("The archive “%1” is empty.").arg(job.archiveName);
    for (const FolderTimes &times : folderTimes) {
        if (const int error = folder.setTimes(times.components, times.times))
            return QStringLiteral("Unpacking “%1” could not be finished: %2.")
                .arg(job.archiveName, QString::fromLocal8Bit(std::strerror(error)));
    }
    report(job.declaredBytes < 0 ? result.bytesWritten : job.declaredBytes);
    return std::nullopt;
}

// How a download ended, and what the list of entries at the end of a zip said.
struct Settled {
    std::optional<QString> downloadError;
    Survey survey;
};

// What arrived counts only once the download is complete and, for a zip, once the list of entries at its end passes
// the checks extract() makes before writing: only that list tells links and special files from plain files, and
// only its sizes tell a zip bomb. Runs beside the unpacking, which a refused list stops at once, so that the list
// is checked by the time the last entry is written and nothing more is written once it is refused.
Settled settleDownload(const GrowingDownload &download, const QByteArray &archiveFile, const QString &archiveName,
                       qint64 byteLimit, std::stop_token stop, std::stop_source &unpacking) {
    Settled settled{download.waitForEnd(stop), {}};
    if (!stop.stop_requested() && !settled.downloadError) {
        settled.survey = surveyZip(archiveFile, archiveName, byteLimit);
        if (settled.survey.error)
            unpacking.request_stop();
    }
    return settled;
}

// An unpacking that finished, could not read the archive or was stopped by a refused list counts with how the
// download ended.
void takeSettlement(const Settled &settled, const std::stop_token &stop, const QString &archiveName,
                    ArchiveExtractor::Result &result) {
    if (stop.stop_requested()) {
        result.cancelled = true;
        result.error = QStringLiteral("Unpacking “%1” was cancelled.").arg(archiveName);
    } else if (settled.downloadError) {
        result.error = settled.downloadError;
    } else if (settled.survey.error) {
        result.cancelled = false;
        result.unreadable = false;
        result.error = settled.survey.error;
    }
}

// A zip installs exactly the entries its list names, as the list describes them. A reading of a download as it
// arrived that met anything else was misled by local headers; the complete file decides then.
Error compareWithList(const ZipDirectory &directory, const ReadLog &read, bool streamed, const QString &archiveName,
                      ArchiveExtractor::Result &result) {
    if (directory.kind() != ZipDirectory::Kind::zip && !read.zip)
        return std::nullopt;
    std::optional<QString> different;
    if (directory.kind() != ZipDirectory::Kind::zip || !read.zip)
        different =
            QStringLiteral("The archive “%1” is damaged: it has no list of entries that matches it.").arg(archiveName);
    else if (const Error entry = directory.firstDifference(read.entries))
        different = listDisagreesMessage(archiveName, *entry);
    result.unreadable = different && streamed;
    return different;
}

} // namespace

ArchiveExtractor::ArchiveExtractor(qint64 byteLimit, ProgressHandler onProgress)
    : m_byteLimit(byteLimit)
    , m_onProgress(std::move(onProgress)) {}

void ArchiveExtractor::setEntryEditor(EntryEditor editor) {
    m_editor = std::move(editor);
}

ArchiveExtractor::Result ArchiveExtractor::extract(const QString &archivePath, const QString &destination,
                                                   std::stop_token stop) const {
    return run(archivePath, nullptr, destination, std::move(stop));
}

ArchiveExtractor::Result ArchiveExtractor::extractGrowing(const QString &archivePath, const GrowingDownload &download,
                                                          const QString &destination, std::stop_token stop) const {
    Result streamed = run(archivePath, &download, destination, stop);
    // The download has ended by now. What could not be read as it arrived may need the whole file at hand.
    if (!streamed.unreadable || stop.stop_requested() || download.waitForEnd(stop))
        return streamed;
    Result whole = run(archivePath, nullptr, destination, std::move(stop));
    whole.unpackedTwice = true;
    return whole;
}

ArchiveExtractor::Result ArchiveExtractor::run(const QString &archivePath, const GrowingDownload *download,
                                               const QString &destination, std::stop_token stop) const {
    Result result;
    const QString archiveName = QFileInfo(archivePath).fileName();
    const QByteArray archiveFile = QFile::encodeName(archivePath);
    // A growing file has no list of entries yet; its entries are checked as they arrive.
    Survey survey = download ? Survey{} : surveyZip(archiveFile, archiveName, m_byteLimit);
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

    // The unpacking stops for the caller, and for a list of entries refused while it runs.
    std::stop_source unpacking;
    std::stop_source settling;
    const std::stop_callback stopBoth(stop, [&] {
        unpacking.request_stop();
        settling.request_stop();
    });
    std::future<Settled> settled;
    if (download)
        settled = std::async(std::launch::async, settleDownload, std::cref(*download), archiveFile, archiveName,
                             m_byteLimit, settling.get_token(), std::ref(unpacking));

    CreatedPaths created(root);
    ReadLog read;
    result.error =
        unpack({archiveFile, download, survey.directory.kind() == ZipDirectory::Kind::zip ? &survey.directory : nullptr,
                m_editor ? &*m_editor : nullptr, archiveName, root, m_byteLimit, survey.declaredBytes, m_onProgress,
                unpacking.get_token()},
               created, result, read);
    if (download) {
        // A refused entry fails at once; an unreadable archive may only be a download cut short, and a stopped
        // one may have been stopped by its list.
        const bool settles = !result.error || result.unreadable || (result.cancelled && !stop.stop_requested());
        if (!settles)
            settling.request_stop();
        Settled outcome = settled.get();
        if (settles)
            takeSettlement(outcome, stop, archiveName, result);
        survey = std::move(outcome.survey);
    }
    if (!result.error)
        result.error = compareWithList(survey.directory, read, download != nullptr, archiveName, result);
    if (result.error) {
        result.topLevelItems.clear();
        result.unpackedFiles.clear();
        created.removeAll();
        if (createdDestination)
            QDir(*createdDestination).removeRecursively();
    }
    return result;
}

} // namespace klv
