#include "FuzzExpect.h"
#include "ScratchFolder.h"

#include "install/ArchiveExtractor.h"
#include "install/GrowingDownload.h"
#include "install/PackageJunk.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QSet>

#include <zlib.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <optional>

using klv::fuzz::expect;

namespace {

struct Listed {
    qint64 size = 0;
    quint32 crc = 0;
};

quint32 field(const QByteArray &bytes, qsizetype at, int width) {
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

struct Listing {
    QMap<QString, Listed> files; // path to size and checksum, junk left out
    bool collides = false;       // two entries would be written to one path
};

// The files a zip's central directory lists, read as simply as the format allows, independently of the extractor.
// Nothing for what this reading does not cover (no zip, zip64, names that are not ASCII, Unicode path fields,
// backslashes): those inputs are only checked for what they leave behind.
std::optional<Listing> listedFiles(const QByteArray &bytes) {
    qsizetype end = -1;
    for (qsizetype at = bytes.size() - 22; at >= 0 && at >= bytes.size() - 22 - 0xffff; --at) {
        if (bytes.sliced(at, 4) == "PK\x05\x06" && at + 22 + qsizetype(field(bytes, at + 20, 2)) <= bytes.size()) {
            end = at;
            break;
        }
    }
    if (end < 0 || field(bytes, end + 10, 2) == 0xffff || field(bytes, end + 16, 4) == 0xffffffff)
        return std::nullopt;
    const qsizetype listStart = end - qsizetype(field(bytes, end + 12, 4));
    Listing listing;
    QSet<QString> files;
    QSet<QString> folders;
    qsizetype at = listStart;
    for (quint32 i = 0; i < field(bytes, end + 10, 2); ++i) {
        if (at < 0 || at + 46 > end || bytes.sliced(at, 4) != "PK\x01\x02")
            return std::nullopt;
        const qsizetype nameBytes = field(bytes, at + 28, 2);
        const qsizetype extraBytes = field(bytes, at + 30, 2);
        if (at + 46 + nameBytes + extraBytes > end)
            return std::nullopt;
        const QByteArray name = bytes.sliced(at + 46, nameBytes);
        const quint32 madeBy = field(bytes, at + 5, 1);
        const quint32 attributes = field(bytes, at + 38, 4);
        if (name.contains('\\') || bytes.sliced(at + 46 + nameBytes, extraBytes).contains("up") ||
            std::any_of(name.cbegin(), name.cend(), [](char c) { return quint8(c) >= 0x80; }))
            return std::nullopt;
        const bool folder = name.endsWith('/') || (madeBy == 0 && (attributes & 0x10)) ||
                            (madeBy == 3 && ((attributes >> 16) & 0170000) == 0040000);
        QStringList path = QString::fromUtf8(name).split(u'/', Qt::SkipEmptyParts);
        path.removeAll(QStringLiteral("."));
        for (qsizetype depth = 1; depth < path.size(); ++depth) {
            const QString above = path.first(depth).join(u'/');
            listing.collides = listing.collides || files.contains(above);
            folders.insert(above);
        }
        const QString joined = path.join(u'/');
        if (!path.isEmpty() && folder) {
            listing.collides = listing.collides || files.contains(joined);
            folders.insert(joined);
        } else if (!path.isEmpty()) {
            listing.collides = listing.collides || files.contains(joined) || folders.contains(joined);
            files.insert(joined);
            if (!klv::isPackageJunk(path))
                listing.files.insert(joined, {qint64(field(bytes, at + 24, 4)), field(bytes, at + 16, 4)});
        }
        at += 46 + nameBytes + extraBytes + qsizetype(field(bytes, at + 32, 2));
    }
    return listing;
}

// Every file below the folder, with its size and checksum; links and other special files fail the invariant.
QMap<QString, Listed> filesBelow(const QString &folder) {
    QMap<QString, Listed> files;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QFileInfo item(it.next());
        expect(!item.isSymLink() && (item.isDir() || item.isFile()), "nothing but files and folders is unpacked");
        if (item.isDir())
            continue;
        QFile file(item.filePath());
        expect(file.open(QIODevice::ReadOnly), "an unpacked file can be read");
        const QByteArray content = file.readAll();
        files.insert(QDir(folder).relativeFilePath(item.filePath()),
                     {content.size(), quint32(crc32_z(0, reinterpret_cast<const Bytef *>(content.constData()),
                                                      size_t(content.size())))});
    }
    return files;
}

void expectOutcome(const klv::ArchiveExtractor::Result &result, const QString &destination,
                   const std::optional<Listing> &listed) {
    if (listed && listed->collides)
        expect(!result.succeeded(), "two entries written to one path make the archive damaged");
    if (!result.succeeded()) {
        expect(!QFileInfo::exists(destination), "a failed extraction leaves nothing behind");
        return;
    }
    const QMap<QString, Listed> unpacked = filesBelow(destination);
    if (!listed)
        return;
    expect(unpacked.keys() == listed->files.keys(), "a zip unpacks exactly the files its central directory lists");
    for (auto file = unpacked.cbegin(); file != unpacked.cend(); ++file) {
        const Listed &expected = listed->files.value(file.key());
        expect(file->size == expected.size && file->crc == expected.crc,
               "each file unpacked has the size and checksum its central directory says");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // As in klv and the app, whose Qt switches a C locale to UTF-8: libarchive converts names by the locale.
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

// The input is an archive (mostly zips, from the corpus). It is unpacked from the complete file and as a download
// that arrives; either it fails and leaves nothing, or it unpacks exactly the files a zip's central directory lists,
// each with its listed size and checksum. Half the files are held whole on their way, as template documents are.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const klv::fuzz::ScratchFolder scratch;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString archive = scratch.emptied(QStringLiteral("package.zip"));
    QFile file(archive);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return 0;
    file.close();
    const std::optional<Listing> listed = listedFiles(bytes);

    klv::ArchiveExtractor extractor(qint64{1} << 20);
    int held = 0;
    extractor.setEntryEditor({qint64{64} << 10, [&held](const QStringList &) { return ++held % 2 == 0; },
                              [](const QStringList &, QByteArray &) {
                              }});

    const QString whole = scratch.emptied(QStringLiteral("whole"));
    expectOutcome(extractor.extract(archive, whole), whole, listed);

    klv::GrowingDownload arrived;
    arrived.grew(bytes.size());
    arrived.end(std::nullopt);
    const QString growing = scratch.emptied(QStringLiteral("growing"));
    expectOutcome(extractor.extractGrowing(archive, arrived, growing), growing, listed);
    return 0;
}
