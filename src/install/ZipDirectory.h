#pragma once

#include "core/Error.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace klv {

class ZipSource;

// A zip's central directory (the list of entries at its end) with each entry's local header checked against it.
// The list is what the zip holds: a reader that goes by the local headers alone, as one reading a download while it
// arrives must, can be shown other names, other sizes or entries the list does not have. So, as `unzip -t` does,
// a local header whose name, method, sizes or checksum disagree with the list, entries whose data overlap, or a
// list that does not fit in the file make the archive damaged. Only the list, the end records and the local headers
// are read. Two entries that would be written to the same path make it damaged too.
class ZipDirectory final {
public:
    enum class Kind { notZip, damaged, zip };

    // What an entry is, as the list's attributes say (the local headers do not say).
    enum class Type { file, folder, link, other };

    struct Entry {
        QString name;           // as stored, decoded
        QStringList components; // the name's path as an extraction writes it
        Type type = Type::file;
        bool folder() const { return type == Type::folder; }
        quint32 crc = 0;
        qint64 compressedSize = 0;
        qint64 size = 0;
        qint64 headerOffset = 0; // from the start of the file, a self-extracting program's prefix included
        qint64 dataOffset = 0;
    };

    // What an extraction read for one entry, in the order it read them. Files it wrote say how many bytes they got
    // and, when it counted them, their checksum.
    struct ReadEntry {
        QStringList components;
        bool folder = false;
        std::optional<qint64> bytes;
        std::optional<quint32> crc;
    };

    static ZipDirectory read(QByteArrayView file);
    static ZipDirectory readFile(const QString &path);

    // The decoded name of the local header at the start of header; nothing when it is not a whole local header.
    static std::optional<QString> localHeaderName(QByteArrayView header);
    // What to read for a local header first: enough for nearly every one, whose name and extra field are short.
    static constexpr qint64 commonLocalHeader = 4096;
    // The bytes the local header at the start of header takes up to the end of its name and extra field; nothing
    // when header does not start with one.
    static std::optional<qint64> localHeaderLength(QByteArrayView header);

    // An entry name's path: "/"-separated, without empty and "." components.
    static QStringList pathComponents(const QString &name);

    Kind kind() const { return m_kind; }
    // Why the archive is damaged.
    const QString &damage() const { return m_damage; }
    // In the order of their local headers, which is the order a reader meets them in.
    const std::vector<Entry> &entries() const { return m_entries; }

    // The first entry that was read differently from its place in the list (another name, kind, size or
    // checksum), or that is missing or one too many; nothing when the reading matches the list.
    Error firstDifference(const std::vector<ReadEntry> &read) const;

private:
    static ZipDirectory readFrom(ZipSource &source);
    void fail(const QString &damage);

    Kind m_kind = Kind::notZip;
    QString m_damage;
    std::vector<Entry> m_entries;
};

} // namespace klv
