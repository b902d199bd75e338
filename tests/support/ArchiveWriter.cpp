#include "ArchiveWriter.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace klv::test {

using namespace Qt::StringLiterals;

namespace {

const qint64 entryTime = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 8)).toSecsSinceEpoch();

// Where a zip's local header keeps the compressed and the uncompressed size.
constexpr qint64 localHeaderSizesAt = 18;

} // namespace

ArchiveWriter::ArchiveWriter(const QString &path, Format format, const QByteArray &prefix)
    : m_path(path)
    , m_format(format)
    , m_archive(archive_write_new(), &archive_write_free)
    , m_prefixBytes(prefix.size()) {
    QDir().mkpath(QFileInfo(path).path());
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0 || ::write(m_fd, prefix.constData(), size_t(prefix.size())) != prefix.size()) {
        fail(u"cannot be created"_s);
        return;
    }
    struct archive *writer = m_archive.get();
    if (format == Format::zip) {
        archive_write_set_format_zip(writer);
        // Names are UTF-8 whatever the locale, and flagged as such.
        archive_write_set_options(writer, "zip:hdrcharset=UTF-8");
    } else {
        archive_write_set_format_pax_restricted(writer);
        if (format == Format::tarGzip)
            archive_write_add_filter_gzip(writer);
        else
            archive_write_add_filter_xz(writer);
    }
    archive_write_set_bytes_in_last_block(writer, 1);
    if (archive_write_open_fd(writer, m_fd) != ARCHIVE_OK)
        fail(u"cannot be started"_s);
}

ArchiveWriter::~ArchiveWriter() {
    finish();
}

void ArchiveWriter::addFile(const QString &name, const QByteArray &data, unsigned permissions, Storage storage) {
    add(name, AE_IFREG | permissions, data, {}, false, storage);
}

void ArchiveWriter::addFolder(const QString &name, unsigned permissions) {
    add(name, AE_IFDIR | permissions, {}, {}, false, Storage::stored);
}

void ArchiveWriter::addSymlink(const QString &name, const QString &target) {
    add(name, AE_IFLNK | 0777, {}, target, false, Storage::stored);
}

void ArchiveWriter::addHardLink(const QString &name, const QString &target) {
    add(name, AE_IFREG | 0644, {}, target, true, Storage::stored);
}

void ArchiveWriter::addCharacterDevice(const QString &name) {
    add(name, AE_IFCHR | 0666, {}, {}, false, Storage::stored);
}

void ArchiveWriter::addTree(const QString &folder, const QString &under) {
    QStringList paths;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        paths.append(QDir(folder).relativeFilePath(it.next()));
    paths.sort();
    for (const QString &relative : std::as_const(paths)) {
        const QString path = folder + u'/' + relative;
        struct stat status {};
        QFile file(path);
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
            fail(u"cannot take "_s + path);
            return;
        }
        if (S_ISDIR(status.st_mode)) {
            addFolder(under + relative, status.st_mode & 07777);
        } else if (file.open(QIODevice::ReadOnly)) {
            addFile(under + relative, file.readAll(), status.st_mode & 07777);
        } else {
            fail(u"cannot read "_s + path);
            return;
        }
    }
}

void ArchiveWriter::add(const QString &name, unsigned mode, const QByteArray &data, const QString &link, bool hardLink,
                        Storage storage) {
    if (!m_error.isEmpty())
        return;
    struct archive *writer = m_archive.get();
    const std::unique_ptr<archive_entry, void (*)(archive_entry *)> entry(archive_entry_new(), &archive_entry_free);
    archive_entry_set_pathname_utf8(entry.get(), name.toUtf8().constData());
    archive_entry_set_mode(entry.get(), mode);
    archive_entry_set_mtime(entry.get(), entryTime, 0);
    archive_entry_set_size(entry.get(), data.size());
    if (hardLink)
        archive_entry_set_hardlink_utf8(entry.get(), link.toUtf8().constData());
    else if (!link.isEmpty())
        archive_entry_set_symlink_utf8(entry.get(), link.toUtf8().constData());
    if (m_format == Format::zip) {
        if (storage == Storage::deflated)
            archive_write_zip_set_compression_deflate(writer);
        else
            archive_write_zip_set_compression_store(writer);
        if (storage == Storage::storedSizesAfterData)
            m_sizesAfterData.append(archive_filter_bytes(writer, 0));
    }
    if (archive_write_header(writer, entry.get()) != ARCHIVE_OK ||
        (!data.isEmpty() && archive_write_data(writer, data.constData(), size_t(data.size())) != data.size()) ||
        archive_write_finish_entry(writer) != ARCHIVE_OK)
        fail(u"cannot take “"_s + name + u"”"_s);
}

bool ArchiveWriter::finish() {
    if (m_fd < 0)
        return m_error.isEmpty();
    if (archive_write_close(m_archive.get()) != ARCHIVE_OK)
        fail(u"cannot be ended"_s);
    // libarchive writes sizes into the local header when it knows them; a stream writer could not have.
    static constexpr char unknownSizes[8] = {};
    for (const qint64 headerAt : std::as_const(m_sizesAfterData)) {
        if (::pwrite(m_fd, unknownSizes, sizeof unknownSizes, m_prefixBytes + headerAt + localHeaderSizesAt) !=
            qint64(sizeof unknownSizes))
            fail(u"cannot be changed"_s);
    }
    ::close(m_fd);
    m_fd = -1;
    return m_error.isEmpty();
}

bool ArchiveWriter::writeZip(const QString &path, const QList<std::pair<QString, QByteArray>> &files) {
    ArchiveWriter zip(path);
    for (const auto &[name, data] : files)
        zip.addFile(name, data);
    return zip.finish();
}

namespace {

// Little-endian fields of a zip record.
void appendField(QByteArray &record, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        record.append(char(value >> (8 * i)));
}

} // namespace

bool ArchiveWriter::writeZeroBomb(const QString &path, const QStringList &names, qint64 entryBytes) {
    // One stretch of zeros, flushed to a byte boundary without ending the stream, repeats into any length of zeros:
    // its back references only ever point at zeros. An empty final block ends it.
    constexpr qint64 stretchBytes = 16 << 20;
    if (entryBytes % stretchBytes != 0 || entryBytes >= (qint64{1} << 32))
        return false;
    const QByteArray zeros(stretchBytes, '\0');
    z_stream stream{};
    QByteArray stretch(int(deflateBound(&stream, uLong(stretchBytes))) + 64, Qt::Uninitialized);
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.constData()));
    stream.avail_in = uInt(zeros.size());
    stream.next_out = reinterpret_cast<Bytef *>(stretch.data());
    stream.avail_out = uInt(stretch.size());
    const bool flushed = deflate(&stream, Z_SYNC_FLUSH) == Z_OK && stream.avail_in == 0;
    stretch.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    if (!flushed)
        return false;
    const QByteArray data = stretch.repeated(entryBytes / stretchBytes) + QByteArray("\x03\x00", 2);
    const uLong stretchCrc = crc32_z(0, reinterpret_cast<const Bytef *>(zeros.constData()), size_t(stretchBytes));
    uLong crc = 0;
    for (qint64 done = 0; done < entryBytes; done += stretchBytes)
        crc = crc32_combine(crc, stretchCrc, stretchBytes);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray list;
    const auto header = [&](QByteArray &record, const QByteArray &name) {
        appendField(record, 20, 2);     // version needed
        appendField(record, 0x0800, 2); // UTF-8 name
        appendField(record, 8, 2);      // deflated
        appendField(record, 0, 4);      // time and date
        appendField(record, quint32(crc), 4);
        appendField(record, quint32(data.size()), 4);
        appendField(record, quint32(entryBytes), 4);
        appendField(record, quint32(name.size()), 2);
        appendField(record, 0, 2); // extra
    };
    for (const QString &name : names) {
        const QByteArray utf8 = name.toUtf8();
        const qint64 offset = file.pos();
        QByteArray local("PK\x03\x04", 4);
        header(local, utf8);
        if (file.write(local + utf8) < 0 || file.write(data) != data.size())
            return false;
        list.append("PK\x01\x02", 4);
        appendField(list, 0x0314, 2); // made on Unix
        header(list, utf8);
        appendField(list, 0, 2);              // comment
        appendField(list, 0, 2);              // disk
        appendField(list, 0, 2);              // internal attributes
        appendField(list, 0100644u << 16, 4); // a plain file
        appendField(list, quint32(offset), 4);
        list.append(utf8);
    }
    QByteArray end("PK\x05\x06", 4);
    appendField(end, 0, 4);
    appendField(end, quint32(names.size()), 2);
    appendField(end, quint32(names.size()), 2);
    appendField(end, quint32(list.size()), 4);
    appendField(end, quint32(file.pos()), 4);
    appendField(end, 0, 2);
    return file.write(list) == list.size() && file.write(end) == end.size();
}

void ArchiveWriter::fail(const QString &what) {
    if (!m_error.isEmpty())
        return;
    m_error = m_path + u' ' + what;
    if (const char *detail = m_archive ? archive_error_string(m_archive.get()) : nullptr)
        m_error += u": "_s + QString::fromLocal8Bit(detail);
}

} // namespace klv::test
