#include "install/ZipDirectory.h"

#include "install/CodePage437.h"
#include "install/FileRange.h"
#include "install/PathCollisions.h"

#include <QFile>
#include <QStringDecoder>

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <utility>

namespace klv {
namespace {

constexpr qint64 endRecordBytes = 22;
constexpr qint64 maxCommentBytes = 0xffff;
constexpr qint64 zip64LocatorBytes = 20;
constexpr qint64 zip64EndRecordBytes = 56;
constexpr qint64 centralHeaderBytes = 46;
constexpr qint64 localHeaderBytes = 30;
constexpr quint32 in64BitField = 0xffffffff;
constexpr quint16 sizesFollowData = 0x0008;
constexpr quint16 namesInUtf8 = 0x0800;
constexpr quint16 zip64ExtraId = 0x0001;
constexpr quint16 unicodePathExtraId = 0x7075;
constexpr unsigned madeOnDos = 0;
constexpr unsigned madeOnUnix = 3;

// Little-endian fields of a window of the file, addressed by their offsets in the file (the window starts at
// `base`), read where the caller has checked the window to hold them.
class Fields {
public:
    explicit Fields(QByteArrayView data, qint64 base = 0)
        : m_data(data)
        , m_base(base) {}
    qint64 end() const { return m_base + m_data.size(); }
    bool holds(qint64 at, qint64 count) const {
        return at >= m_base && count >= 0 && at <= end() && count <= end() - at;
    }
    quint32 u8(qint64 at) const { return quint8(m_data[at - m_base]); }
    quint32 u16(qint64 at) const { return u8(at) | u8(at + 1) << 8; }
    quint32 u32(qint64 at) const { return u16(at) | u16(at + 2) << 16; }
    quint64 u64(qint64 at) const { return quint64(u32(at)) | quint64(u32(at + 4)) << 32; }
    bool signature(qint64 at, char third, char fourth) const {
        return holds(at, 4) && u8(at) == 'P' && u8(at + 1) == 'K' && u8(at + 2) == quint8(third) &&
               u8(at + 3) == quint8(fourth);
    }
    QByteArrayView slice(qint64 at, qint64 count) const { return m_data.sliced(at - m_base, count); }

private:
    QByteArrayView m_data;
    qint64 m_base;
};

} // namespace

// Where the reading takes the file's bytes from. Only the list of entries, the end records and each local header
// are asked for: a package's data is never touched, so reading the list of a large one costs memory for the list
// alone.
class ZipSource {
public:
    virtual ~ZipSource() = default;
    virtual qint64 size() const = 0;
    // The bytes at [at, at + count) that the file has, valid as long as the source.
    virtual Fields kept(qint64 at, qint64 count) = 0;
    // The same, valid until the next call of passing().
    virtual Fields passing(qint64 at, qint64 count) = 0;

protected:
    // The part of [at, at + count) inside the file.
    std::pair<qint64, qint64> clamped(qint64 at, qint64 count) const {
        const qint64 start = std::clamp<qint64>(at, 0, size());
        return {start, std::clamp<qint64>(count - (start - at), 0, size() - start)};
    }
};

namespace {

class MemorySource final : public ZipSource {
public:
    explicit MemorySource(QByteArrayView file)
        : m_file(file) {}
    qint64 size() const override { return m_file.size(); }
    Fields kept(qint64 at, qint64 count) override {
        const auto [start, length] = clamped(at, count);
        return Fields(m_file.sliced(start, length), start);
    }
    Fields passing(qint64 at, qint64 count) override { return kept(at, count); }

private:
    QByteArrayView m_file;
};

// Maps what is kept (the list and the end records), reads each local header into one buffer: a map of the whole
// file would make every page near a local header resident, which for a large package is much of the file.
class FileSource final : public ZipSource {
public:
    explicit FileSource(QFile &file)
        : m_file(file)
        , m_size(file.size()) {}
    qint64 size() const override { return m_size; }
    Fields kept(qint64 at, qint64 count) override {
        const auto [start, length] = clamped(at, count);
        const uchar *mapped = length > 0 ? m_file.map(start, length) : nullptr;
        if (!mapped)
            return Fields({}, start);
        return Fields(QByteArrayView(mapped, length), start);
    }
    Fields passing(qint64 at, qint64 count) override {
        const auto [start, length] = clamped(at, count);
        m_buffer = readFileRange(m_file.handle(), start, length);
        return Fields(m_buffer, start);
    }

private:
    QFile &m_file;
    qint64 m_size;
    QByteArray m_buffer;
};

// The data of the first extra field with that id; nothing when the extra area holds none.
std::optional<QByteArrayView> extraField(QByteArrayView extra, quint16 id) {
    const Fields fields(extra);
    for (qint64 at = 0; fields.holds(at, 4);) {
        const qint64 length = fields.u16(at + 2);
        if (!fields.holds(at + 4, length))
            return std::nullopt;
        if (fields.u16(at) == id)
            return fields.slice(at + 4, length);
        at += 4 + length;
    }
    return std::nullopt;
}

struct Sizes {
    quint64 size = 0;
    quint64 compressedSize = 0;
    quint64 headerOffset = 0;
};

// Replaces the 32-bit fields that say 0xffffffff by their 64-bit values from the zip64 extra field, in the order
// the format gives them; false when a value is missing.
bool widen(QByteArrayView extra, Sizes &sizes, bool withOffset) {
    quint64 *wide[] = {&sizes.size, &sizes.compressedSize, withOffset ? &sizes.headerOffset : nullptr};
    const std::optional<QByteArrayView> field = extraField(extra, zip64ExtraId);
    qint64 at = 0;
    for (quint64 *value : wide) {
        if (!value || *value != in64BitField)
            continue;
        if (!field || !Fields(*field).holds(at, 8))
            return false;
        *value = Fields(*field).u64(at);
        at += 8;
    }
    return true;
}

// One rule for the list and the local headers, so that the two are compared as the same text and the names are
// written as the archive holds them, never normalised: the Info-ZIP Unicode path when its checksum matches the stored
// name; UTF-8 when the name is flagged as such or is valid UTF-8 (what a Mac and most Unix archivers write without
// the flag); else code page 437, as the format says. Backslashes are separators in names written on DOS-like systems.
QString decodedName(QByteArrayView stored, QByteArrayView extra, quint32 flags, unsigned localSystem) {
    if (const std::optional<QByteArrayView> unicode = extraField(extra, unicodePathExtraId);
        unicode && unicode->size() >= 5 && Fields(*unicode).u8(0) == 1 &&
        Fields(*unicode).u32(1) == crc32_z(0, reinterpret_cast<const Bytef *>(stored.data()), size_t(stored.size())))
        return QString::fromUtf8(unicode->sliced(5));
    QByteArray name = stored.toByteArray();
    if (localSystem == madeOnDos && !name.contains('/'))
        name.replace('\\', '/');
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(name);
    if ((flags & namesInUtf8) != 0 || !utf8.hasError())
        return text;
    return fromCodePage437(name);
}

Error firstCollision(const std::vector<ZipDirectory::Entry> &entries) {
    PathCollisions written;
    for (const ZipDirectory::Entry &entry : entries) {
        if (Error path = written.add(entry.components, entry.folder()))
            return path;
    }
    return std::nullopt;
}

// Read as libarchive reads it: a trailing slash makes a folder; DOS attributes tell only folders; Unix ones carry
// the file's mode, where no type and a pipe are plain files.
ZipDirectory::Type typeOf(const QString &name, unsigned madeBy, quint32 attributes) {
    using Type = ZipDirectory::Type;
    if (name.endsWith(u'/'))
        return Type::folder;
    if (madeBy == madeOnDos)
        return (attributes & 0x10) != 0 ? Type::folder : Type::file;
    if (madeBy != madeOnUnix)
        return Type::file;
    switch ((attributes >> 16) & S_IFMT) {
    case 0:
    case S_IFREG:
    case S_IFIFO:
        return Type::file;
    case S_IFDIR:
        return Type::folder;
    case S_IFLNK:
        return Type::link;
    default:
        return Type::other;
    }
}

} // namespace

QStringList ZipDirectory::pathComponents(const QString &name) {
    QStringList components = name.split(u'/', Qt::SkipEmptyParts);
    components.removeAll(QStringLiteral("."));
    return components;
}

ZipDirectory ZipDirectory::readFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < endRecordBytes)
        return {};
    FileSource source(file);
    return readFrom(source);
}

void ZipDirectory::fail(const QString &damage) {
    m_kind = Kind::damaged;
    m_damage = damage;
    m_entries.clear();
}

ZipDirectory ZipDirectory::read(QByteArrayView file) {
    MemorySource source(file);
    return readFrom(source);
}

ZipDirectory ZipDirectory::readFrom(ZipSource &source) {
    const qint64 fileSize = source.size();
    // The end records: the zip64 locator, the end record and its comment.
    const qint64 tailStart = fileSize - endRecordBytes - maxCommentBytes - zip64LocatorBytes;
    const Fields tail = source.kept(tailStart, fileSize - tailStart);
    ZipDirectory directory;
    // The end record is the last one whose comment fits into the file.
    qint64 end = -1;
    for (qint64 at = fileSize - endRecordBytes; at >= 0 && at >= fileSize - endRecordBytes - maxCommentBytes; --at) {
        if (tail.signature(at, 5, 6) && at + endRecordBytes + qint64(tail.u16(at + 20)) <= fileSize) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return directory;
    directory.m_kind = Kind::zip;

    if (tail.u16(end + 4) != 0 || tail.u16(end + 6) != 0 || tail.u16(end + 8) != tail.u16(end + 10)) {
        directory.fail(QStringLiteral("it spans several disks"));
        return directory;
    }
    quint64 count = tail.u16(end + 10);
    quint64 listBytes = tail.u32(end + 12);
    quint64 listOffset = tail.u32(end + 16);
    qint64 listEnd = end;
    if (count == 0xffff || listBytes == in64BitField || listOffset == in64BitField) {
        const qint64 locator = end - zip64LocatorBytes;
        const qint64 record =
            tail.signature(locator, 6, 7) ? qint64(std::min<quint64>(tail.u64(locator + 8), quint64(fileSize))) : -1;
        const Fields zip64 = source.kept(record, zip64EndRecordBytes);
        if (!zip64.signature(record, 6, 6) || !zip64.holds(record, zip64EndRecordBytes) ||
            zip64.u64(record + 24) != zip64.u64(record + 32)) {
            directory.fail(QStringLiteral("its zip64 end record is missing or damaged"));
            return directory;
        }
        count = zip64.u64(record + 32);
        listBytes = zip64.u64(record + 40);
        listOffset = zip64.u64(record + 48);
        listEnd = record;
    }
    // Whatever precedes the archive (a self-extracting program) moves every offset it names.
    if (listBytes > quint64(listEnd) || listOffset > quint64(listEnd) - listBytes ||
        count > listBytes / centralHeaderBytes) {
        directory.fail(QStringLiteral("its list of entries does not fit in the file"));
        return directory;
    }
    const qint64 prefix = listEnd - qint64(listOffset + listBytes);
    const qint64 listStart = prefix + qint64(listOffset);
    // A header's name and fields may run past the list's stated end; never past the file's.
    const Fields bytes = source.kept(listStart, fileSize - listStart);

    std::vector<Entry> &entries = directory.m_entries;
    entries.reserve(size_t(count));
    qint64 at = listStart;
    for (quint64 index = 0; index < count; ++index) {
        if (!bytes.signature(at, 1, 2) || !bytes.holds(at, centralHeaderBytes) ||
            !bytes.holds(at + centralHeaderBytes,
                         qint64(bytes.u16(at + 28)) + qint64(bytes.u16(at + 30)) + qint64(bytes.u16(at + 32))) ||
            at + centralHeaderBytes > listEnd) {
            directory.fail(QStringLiteral("its list of entries is cut short"));
            return directory;
        }
        const unsigned madeBy = bytes.u16(at + 4) >> 8;
        const quint32 listedFlags = bytes.u16(at + 8);
        const quint32 method = bytes.u16(at + 10);
        const QByteArrayView storedName = bytes.slice(at + centralHeaderBytes, bytes.u16(at + 28));
        const QByteArrayView extra = bytes.slice(at + centralHeaderBytes + storedName.size(), bytes.u16(at + 30));
        Sizes listed{bytes.u32(at + 24), bytes.u32(at + 20), bytes.u32(at + 42)};
        if (!widen(extra, listed, true) || listed.size > quint64(std::numeric_limits<qint64>::max()) ||
            listed.compressedSize > quint64(fileSize)) {
            directory.fail(QStringLiteral("an entry's sizes are missing or impossible"));
            return directory;
        }
        Entry entry;
        entry.crc = bytes.u32(at + 16);
        entry.size = qint64(listed.size);
        entry.compressedSize = qint64(listed.compressedSize);
        const quint32 attributes = bytes.u32(at + 38);
        at += centralHeaderBytes + storedName.size() + extra.size() + bytes.u16(at + 32);

        // The local header must say what the list says.
        const QString listedName = decodedName(storedName, extra, listedFlags, 0);
        const auto differs = [&] {
            directory.fail(
                QStringLiteral("the local header of “%1” disagrees with its list of entries").arg(listedName));
            return directory;
        };
        if (listed.headerOffset > quint64(listStart - prefix))
            return differs();
        entry.headerOffset = prefix + qint64(listed.headerOffset);
        const qint64 local = entry.headerOffset;
        // The header and its name and extra field: read in one go unless they are unusually long.
        Fields header = source.passing(local, commonLocalHeader);
        if (!header.signature(local, 3, 4) || !header.holds(local, localHeaderBytes))
            return differs();
        const qint64 nameBytes = header.u16(local + 26);
        const qint64 extraBytes = header.u16(local + 28);
        if (!header.holds(local + localHeaderBytes, nameBytes + extraBytes))
            header = source.passing(local, localHeaderBytes + nameBytes + extraBytes);
        if (!header.holds(local + localHeaderBytes, nameBytes + extraBytes) ||
            header.slice(local + localHeaderBytes, nameBytes) != storedName || header.u16(local + 8) != method)
            return differs();
        const QByteArrayView localExtra = header.slice(local + localHeaderBytes + nameBytes, extraBytes);
        const QString name = decodedName(storedName, localExtra, header.u16(local + 6), header.u8(local + 5));
        if (name != decodedName(storedName, extra, listedFlags, header.u8(local + 5)))
            return differs();
        Sizes stated{header.u32(local + 22), header.u32(local + 18), 0};
        if (!widen(localExtra, stated, false))
            return differs();
        // Sizes and checksum that follow the data are zeros here, when the header gives them at all.
        const bool follow = (header.u16(local + 6) & sizesFollowData) != 0;
        const auto agrees = [follow](quint64 inHeader, quint64 inList) {
            return inHeader == inList || (follow && inHeader == 0);
        };
        if (!agrees(header.u32(local + 14), entry.crc) || !agrees(stated.size, listed.size) ||
            !agrees(stated.compressedSize, listed.compressedSize))
            return differs();
        entry.dataOffset = local + localHeaderBytes + nameBytes + extraBytes;
        if (entry.compressedSize > listStart - entry.dataOffset)
            return differs();
        entry.name = name;
        entry.components = pathComponents(name);
        entry.type = typeOf(name, madeBy, attributes);
        entries.push_back(std::move(entry));
    }

    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.headerOffset < b.headerOffset; });
    for (size_t i = 1; i < entries.size(); ++i) {
        if (entries[i - 1].dataOffset + entries[i - 1].compressedSize > entries[i].headerOffset) {
            directory.fail(
                QStringLiteral("the data of “%1” overlaps another entry").arg(entries[i].components.join(u'/')));
            return directory;
        }
    }
    if (const Error path = firstCollision(entries))
        directory.fail(QStringLiteral("two of its entries would be written to “%1”").arg(*path));
    return directory;
}

std::optional<qint64> ZipDirectory::localHeaderLength(QByteArrayView header) {
    const Fields bytes(header);
    if (!bytes.signature(0, 3, 4) || !bytes.holds(0, localHeaderBytes))
        return std::nullopt;
    return localHeaderBytes + qint64(bytes.u16(26)) + qint64(bytes.u16(28));
}

std::optional<QString> ZipDirectory::localHeaderName(QByteArrayView header) {
    const Fields bytes(header);
    if (!bytes.signature(0, 3, 4) || !bytes.holds(0, localHeaderBytes))
        return std::nullopt;
    const qint64 nameBytes = bytes.u16(26);
    const qint64 extraBytes = bytes.u16(28);
    if (!bytes.holds(localHeaderBytes, nameBytes + extraBytes))
        return std::nullopt;
    return decodedName(bytes.slice(localHeaderBytes, nameBytes), bytes.slice(localHeaderBytes + nameBytes, extraBytes),
                       bytes.u16(6), bytes.u8(5));
}

Error ZipDirectory::firstDifference(const std::vector<ReadEntry> &read) const {
    const size_t common = std::min(read.size(), m_entries.size());
    for (size_t i = 0; i < common; ++i) {
        const Entry &listed = m_entries[i];
        const ReadEntry &got = read[i];
        if (got.components != listed.components || got.folder != listed.folder() ||
            (got.bytes && *got.bytes != listed.size) || (got.crc && *got.crc != listed.crc))
            return listed.components.join(u'/');
    }
    if (read.size() != m_entries.size())
        return read.size() > common ? read[common].components.join(u'/') : m_entries[common].components.join(u'/');
    return std::nullopt;
}

} // namespace klv
