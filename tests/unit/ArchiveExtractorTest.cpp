#include "install/ArchiveExtractor.h"
#include "install/GrowingDownload.h"

#include "ArchiveWriter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <thread>

#include <sys/stat.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using test::ArchiveWriter;
using test::readFile;
using Format = ArchiveWriter::Format;
using Storage = ArchiveWriter::Storage;

// A text of `count` words that compresses like a template document, the same for the same seed.
QByteArray words(int count, quint32 seed) {
    static const QByteArray choices[] = {"motion", "title", "canvas"};
    QRandomGenerator random(seed);
    QByteArrayList picked;
    for (int i = 0; i < count; ++i)
        picked.append(choices[random.bounded(3)]);
    return picked.join(' ');
}

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

class ArchiveExtractorTest : public ::testing::Test {
protected:
    // Everything extraction may touch lives below out; a failed extraction must leave it as it was.
    QStringList outItems() const {
        QStringList items;
        for (QDirIterator it(out, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            items << QDir(out).relativeFilePath(it.next());
        items.sort();
        return items;
    }

    // Extracts an archive while another thread writes it in pieces, as a download does; with cutAt, the download
    // fails after that many bytes.
    ArchiveExtractor::Result extractArriving(const ArchiveExtractor &extractor, const QString &archivePath,
                                             std::optional<qsizetype> cutAt = {}) const {
        const QByteArray bytes = readFile(archivePath);
        QFile file(downloads.filePath(QFileInfo(archivePath).fileName()));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        GrowingDownload download;
        const std::jthread writer([&] {
            constexpr qsizetype pieceBytes = 48 << 10;
            const qsizetype end = cutAt.value_or(bytes.size());
            for (qsizetype at = 0; at < end; at += pieceBytes) {
                const QByteArray piece = bytes.mid(at, std::min(pieceBytes, end - at));
                EXPECT_TRUE(file.write(piece) == piece.size() && file.flush());
                download.grew(at + piece.size());
                std::this_thread::sleep_for(1ms);
            }
            download.end(cutAt ? std::optional(u"The download was cut."_s) : std::nullopt);
        });
        return extractor.extractGrowing(file.fileName(), download, destination);
    }

    QTemporaryDir work;
    QTemporaryDir downloads;
    QString out = work.filePath(u"out"_s);
    QString destination = out + u"/job/Templates";
};

TEST_F(ArchiveExtractorTest, UnpacksNestedFoldersWithSafePermissionsAndSkipsMacResourceForks) {
    const QString zip = work.filePath(u"pack.zip"_s);
    ArchiveWriter writer(zip);
    writer.addFile(u"Pack/Titles/Lower Third/Lower Third.moti"_s, QByteArray("doc").repeated(100000));
    writer.addFile(u"Pack/Titles/Lower Third/run"_s, "exec", 04777);
    writer.addFolder(u"Pack/Empty/"_s, 0777);
    writer.addFile(u"./Readme.txt"_s, "read me", 0400);
    writer.addFile(u"__MACOSX/Pack/._run"_s, "fork");
    ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
    QList<std::pair<qint64, qint64>> reports;
    const ArchiveExtractor extractor(ArchiveExtractor::defaultByteLimit, [&](qint64 written, qint64 total, qint64) {
        reports.append({written, total});
    });

    const auto result = extractor.extract(zip, destination);
    ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
    EXPECT_EQ(result.topLevelItems, (QStringList{u"Pack"_s, u"Readme.txt"_s}));
    EXPECT_EQ(result.bytesWritten, 300000 + 4 + 7);
    EXPECT_EQ(readFile(destination + u"/Pack/Titles/Lower Third/Lower Third.moti"), QByteArray("doc").repeated(100000));
    EXPECT_FALSE(QFileInfo::exists(destination + u"/__MACOSX"));
    EXPECT_TRUE(QFileInfo(destination + u"/Pack/Empty").isDir());

    // Set-id bits and write access for others are dropped; the owner can always read and write.
    using std::filesystem::perms;
    const auto mode = [&](const QString &relative) {
        return std::filesystem::status(QFile::encodeName(destination + u'/' + relative).toStdString()).permissions();
    };
    for (const QString &item : {u"Pack/Titles/Lower Third/run"_s, u"Pack/Empty"_s})
        EXPECT_EQ(mode(item) & (perms::set_uid | perms::group_write | perms::others_write | perms::owner_all),
                  perms::owner_all);
    EXPECT_EQ(mode(u"Readme.txt"_s) & (perms::owner_all | perms::group_all | perms::others_all),
              perms::owner_read | perms::owner_write);
    EXPECT_EQ(QFileInfo(destination + u"/Readme.txt").lastModified().date(), QDate(2021, 3, 4));

    ASSERT_FALSE(reports.isEmpty());
    EXPECT_EQ(reports.last(), std::make_pair(result.bytesWritten, result.bytesWritten));
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
}

TEST_F(ArchiveExtractorTest, RefusesHostileEntriesAndLeavesNothingBehind) {
    // Tar streams, so its refusals come after earlier entries were written: those must go again.
    const QString outside = work.filePath(u"outside.txt"_s);
    ASSERT_TRUE(test::writeFile(outside, {}));
    const struct {
        Format format;
        std::function<void(ArchiveWriter &)> add;
        QString expected;
    } cases[] = {
        {Format::zip, [](ArchiveWriter &a) { a.addFile(u"../evil"_s, "evil"); }, u"unsafe name: “../evil”"_s},
        {Format::zip, [](ArchiveWriter &a) { a.addFile(u"/tmp/klv-absolute-evil"_s, "evil"); },
         u"unsafe name: “/tmp/klv-absolute-evil”"_s},
        {Format::zip, [](ArchiveWriter &a) { a.addFile(u"a/../../b"_s, "evil"); }, u"unsafe name: “a/../../b”"_s},
        {Format::tarGzip, [](ArchiveWriter &a) { a.addFile({}, {}); }, u"an entry without a name"_s},
        {Format::tarGzip, [](ArchiveWriter &a) { a.addFile(u"Pack/../../../evil"_s, {}); },
         u"unsafe name: “Pack/../../../evil”"_s},
        {Format::zip, [&](ArchiveWriter &a) { a.addSymlink(u"Pack/link"_s, outside); },
         u"a link, which is refused: “Pack/link”"_s},
        {Format::tarGzip, [&](ArchiveWriter &a) { a.addHardLink(u"Pack/hard"_s, outside); },
         u"a link, which is refused: “Pack/hard”"_s},
        {Format::tarGzip, [](ArchiveWriter &a) { a.addCharacterDevice(u"null"_s); },
         u"“null”, which is neither a file nor a folder"_s},
    };
    for (const auto &hostile : cases) {
        const QString hostileArchive = work.filePath(u"hostile"_s);
        ArchiveWriter writer(hostileArchive, hostile.format);
        writer.addFile(u"Pack/fine.txt"_s, "fine");
        hostile.add(writer);
        ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
        for (const bool arriving : {false, true}) {
            SCOPED_TRACE(hostile.expected.toStdString() + (arriving ? " as it arrives" : ""));
            const auto result = arriving ? extractArriving(ArchiveExtractor(), hostileArchive)
                                         : ArchiveExtractor().extract(hostileArchive, destination);
            ASSERT_FALSE(result.succeeded());
            EXPECT_FALSE(result.unreadable);
            EXPECT_TRUE(result.error->contains(hostile.expected)) << result.error->toStdString();
            EXPECT_FALSE(QFileInfo::exists(out));
            EXPECT_FALSE(QFileInfo::exists(u"/tmp/klv-absolute-evil"_s));
            EXPECT_EQ(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                      (QStringList{u"hostile"_s, u"outside.txt"_s}));
            EXPECT_EQ(QFileInfo(outside).size(), 0);
        }
    }
}

// What an entry is comes from the list's attributes, as a Unix or a DOS archiver wrote them.
TEST_F(ArchiveExtractorTest, TheListOfEntriesTellsPlainFilesFromDevices) {
    const QString zip = work.filePath(u"listed.zip"_s);
    const auto serve = [&](unsigned system, quint32 attributes) {
        ArchiveWriter writer(zip);
        writer.addFile(u"Pack/fine.txt"_s, "fine");
        writer.addFile(u"Pack/entry"_s, "data");
        ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
        QByteArray bytes = readFile(zip);
        const qsizetype listed = bytes.lastIndexOf("PK\x01\x02"); // the list's header of "Pack/entry"
        ASSERT_GT(listed, 0);
        bytes[listed + 5] = char(system);
        qToLittleEndian<quint32>(attributes, bytes.data() + listed + 38);
        ASSERT_TRUE(test::writeFile(zip, bytes));
    };
    constexpr unsigned madeOnDos = 0;
    constexpr unsigned madeOnUnix = 3;
    const struct {
        unsigned system;
        quint32 attributes;
    } plainFiles[] = {{madeOnDos, 0x20}, {madeOnUnix, 0}, {madeOnUnix, quint32(S_IFIFO | 0644) << 16}};
    for (const auto &plain : plainFiles) {
        SCOPED_TRACE(plain.attributes);
        serve(plain.system, plain.attributes);
        for (const bool arriving : {false, true}) {
            QDir(out).removeRecursively();
            const auto result =
                arriving ? extractArriving(ArchiveExtractor(), zip) : ArchiveExtractor().extract(zip, destination);
            ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
            EXPECT_EQ(readFile(destination + u"/Pack/entry"_s), "data");
        }
    }

    QDir(out).removeRecursively();
    serve(madeOnUnix, quint32(S_IFCHR | 0644) << 16);
    for (const bool arriving : {false, true}) {
        const auto result =
            arriving ? extractArriving(ArchiveExtractor(), zip) : ArchiveExtractor().extract(zip, destination);
        ASSERT_FALSE(result.succeeded());
        EXPECT_TRUE(result.error->contains(u"“Pack/entry”, which is neither a file nor a folder"_s))
            << result.error->toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

TEST_F(ArchiveExtractorTest, NeverWritesThroughLinksButReachesTheDestinationThroughOne) {
    const QString zip = work.filePath(u"pack.zip"_s);
    ASSERT_TRUE(ArchiveWriter::writeZip(zip, {{u"fonts/a.ttf"_s, "font"}, {u"sub/b.ttf"_s, "font"}}));
    const QString elsewhere = work.filePath(u"elsewhere"_s);
    QDir().mkpath(elsewhere);
    QDir().mkpath(destination);
    QFile::link(elsewhere, destination + u"/sub");
    QFile(destination + u"/keep").open(QIODevice::WriteOnly);

    const auto refused = ArchiveExtractor().extract(zip, destination);
    ASSERT_FALSE(refused.succeeded());
    EXPECT_TRUE(refused.error->startsWith(u"“sub/b.ttf” could not be written")) << refused.error->toStdString();
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    EXPECT_EQ(outItems(), (QStringList{u"job"_s, u"job/Templates"_s, u"job/Templates/keep"_s, u"job/Templates/sub"_s}));

    // Nor through a link where a file of the archive goes: the link stays and its target is untouched.
    QFile::remove(destination + u"/sub");
    const QString outsideFile = work.filePath(u"outside.ttf"_s);
    QFile(outsideFile).open(QIODevice::WriteOnly);
    QDir().mkpath(destination + u"/fonts");
    QFile::link(outsideFile, destination + u"/fonts/a.ttf");
    const auto linkedFile = ArchiveExtractor().extract(zip, destination);
    ASSERT_FALSE(linkedFile.succeeded());
    EXPECT_TRUE(linkedFile.error->startsWith(u"“fonts/a.ttf” could not be written")) << linkedFile.error->toStdString();
    EXPECT_EQ(QFileInfo(outsideFile).size(), 0);
    EXPECT_TRUE(QFileInfo(destination + u"/fonts/a.ttf").isSymLink());
    QDir(destination + u"/fonts").removeRecursively();

    // A link on the way to the destination is the user's own folder layout, not the archive's doing.
    QFile::link(destination, work.filePath(u"linked"_s));
    const auto result = ArchiveExtractor().extract(zip, work.filePath(u"linked"_s));
    ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
    EXPECT_EQ(readFile(destination + u"/sub/b.ttf"), "font");
}

TEST_F(ArchiveExtractorTest, StopsArchivesThatExpandBeyondTheLimit) {
    // The zip declares its size and is refused before anything is written; the tar is stopped by the bytes
    // actually written, which also catches archives that lie about their sizes.
    const QString zip = work.filePath(u"bomb.zip"_s);
    ASSERT_TRUE(ArchiveWriter::writeZip(zip, {{u"zeros"_s, QByteArray(16 << 20, '\0')}}));
    const QString tar = work.filePath(u"bomb.tar.xz"_s);
    ArchiveWriter tarWriter(tar, Format::tarXz);
    for (const QString &name : {u"Pack/a"_s, u"Pack/b"_s})
        tarWriter.addFile(name, QByteArray(700 << 10, '\0'));
    ASSERT_TRUE(tarWriter.finish()) << tarWriter.errorString().toStdString();
    for (const QString &bomb : {zip, tar}) {
        for (const bool arriving : {false, true}) {
            const ArchiveExtractor limited(1 << 20);
            const auto result = arriving ? extractArriving(limited, bomb) : limited.extract(bomb, destination);
            ASSERT_FALSE(result.succeeded());
            EXPECT_TRUE(result.error->endsWith(u"” expands beyond 1024.00 KB.")) << result.error->toStdString();
            EXPECT_FALSE(QFileInfo::exists(out));
        }
    }
    EXPECT_TRUE(ArchiveExtractor(2 << 20).extract(tar, destination).succeeded());
}

TEST_F(ArchiveExtractorTest, DamagedArchivesFailClearlyAndKeepWhatWasThere) {
    const QString zip = work.filePath(u"good.zip"_s);
    ASSERT_TRUE(ArchiveWriter::writeZip(zip, {{u"Pack/small.txt"_s, "small"}, {u"Pack/text.txt"_s, words(200000, 7)}}));
    const QByteArray bytes = readFile(zip);
    const auto write = [&](const QString &name, const QByteArray &content) {
        EXPECT_TRUE(test::writeFile(work.filePath(name), content));
        return work.filePath(name);
    };
    QByteArray corrupt = bytes;
    for (qsizetype at = corrupt.size() / 3; at < corrupt.size() / 3 + 64; ++at)
        corrupt[at] = static_cast<char>(~corrupt[at]);
    ASSERT_TRUE(test::writeFile(destination + u"/Pack/small.txt", {}));

    for (const QString &damaged :
         {write(u"truncated.zip"_s, bytes.left(bytes.size() / 2)), write(u"corrupt.zip"_s, corrupt),
          write(u"error.html"_s, "<html>Not Found</html>"), write(u"empty.zip"_s, {})}) {
        const auto result = ArchiveExtractor().extract(damaged, destination);
        ASSERT_FALSE(result.succeeded()) << damaged.toStdString();
        EXPECT_TRUE(result.error->contains(QFileInfo(damaged).fileName())) << result.error->toStdString();
        EXPECT_EQ(outItems(), (QStringList{u"job"_s, u"job/Templates"_s, u"job/Templates/Pack"_s,
                                           u"job/Templates/Pack/small.txt"_s}));
    }
}

// The list of entries at a zip's end is the archive: what its local headers say beside it is never installed.
TEST_F(ArchiveExtractorTest, AZipInstallsExactlyTheEntriesItsListNames) {
    const QString zip = work.filePath(u"pack.zip"_s);
    ArchiveWriter writer(zip);
    for (const QString &name : {u"Pack/a.txt"_s, u"Pack/hidden.txt"_s, u"Pack/b.txt"_s})
        writer.addFile(name, name.toUtf8().repeated(50), 0644, Storage::stored);
    writer.addFile(u"Pack/empty.txt"_s, {}, 0644, Storage::stored);
    ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
    const QByteArray listed = readFile(zip);
    const qsizetype listStart = listed.indexOf("PK\x01\x02");
    const qsizetype end = listed.lastIndexOf("PK\x05\x06");
    const auto setField = [](QByteArray &bytes, qsizetype at, quint32 value, int width) {
        for (int i = 0; i < width; ++i)
            bytes[at + i] = char(value >> (8 * i));
    };
    QList<qsizetype> records;
    for (qsizetype at = listStart; at >= 0 && at < end; at = listed.indexOf("PK\x01\x02", at + 1))
        records.append(at);
    ASSERT_EQ(records.size(), 4);

    // The second entry's local header and data stay where they are, but the list no longer names it.
    QByteArray hidden = listed;
    hidden.remove(records[1], records[2] - records[1]);
    setField(hidden, end - (records[2] - records[1]) + 8, 3, 2);
    setField(hidden, end - (records[2] - records[1]) + 10, 3, 2);
    setField(hidden, end - (records[2] - records[1]) + 12, quint32(end - listStart - (records[2] - records[1])), 4);
    // The list names one local header and its data twice.
    const QByteArray second = listed.sliced(records[1], records[2] - records[1]);
    QByteArray overlapping = listed.left(records[2]) + second + listed.sliced(records[3]);
    const qsizetype grown = second.size() - (records[3] - records[2]);
    setField(overlapping, end + grown + 12, quint32(end - listStart + grown), 4);

    // Found by fuzzing: the list gives an empty entry a checksum that no empty file has.
    QByteArray emptyWithChecksum = listed;
    setField(emptyWithChecksum, records[3] + 16, 1071, 4);

    ASSERT_TRUE(test::writeFile(work.filePath(u"hidden.zip"_s), hidden));
    ASSERT_TRUE(test::writeFile(work.filePath(u"overlapping.zip"_s), overlapping));
    ASSERT_TRUE(test::writeFile(work.filePath(u"empty-with-checksum.zip"_s), emptyWithChecksum));
    for (const bool arriving : {false, true}) {
        SCOPED_TRACE(arriving ? "as it arrives" : "from the complete file");
        const auto extract = [&](const QString &name) {
            return arriving ? extractArriving(ArchiveExtractor(), work.filePath(name))
                            : ArchiveExtractor().extract(work.filePath(name), destination);
        };
        const auto unlisted = extract(u"hidden.zip"_s);
        ASSERT_TRUE(unlisted.succeeded()) << unlisted.error->toStdString();
        EXPECT_EQ(outItems(),
                  (QStringList{u"job"_s, u"job/Templates"_s, u"job/Templates/Pack"_s, u"job/Templates/Pack/a.txt"_s,
                               u"job/Templates/Pack/b.txt"_s, u"job/Templates/Pack/empty.txt"_s}));
        QDir(out).removeRecursively();

        const auto shared = extract(u"overlapping.zip"_s);
        ASSERT_FALSE(shared.succeeded());
        EXPECT_TRUE(shared.error->contains(u"overlaps another entry"_s)) << shared.error->toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));

        const auto emptyChecked = extract(u"empty-with-checksum.zip"_s);
        ASSERT_FALSE(emptyChecked.succeeded());
        EXPECT_TRUE(emptyChecked.error->contains(u"“Pack/empty.txt” is not what its list of entries says"_s))
            << emptyChecked.error->toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

// Names are written as the archive holds them: a Mac's decomposed letters stay decomposed, names without the UTF-8
// flag that are not UTF-8 are code page 437, and no two entries may land on one path.
TEST_F(ArchiveExtractorTest, WritesNamesAsStoredAndRefusesTwoEntriesOnOnePath) {
    // libarchive's writer composes names, so the decomposed ones come from the packages other tools wrote.
    const QString world = test::fixtureFolder(u"world-packages/"_s);
    const QString decomposed = u"Fixture Titles/Titles/KLV - Fixture Titles/Cafe\u0301 Title/Cafe\u0301 Title.moti"_s;
    ArchiveWriter twice(work.filePath(u"twice.zip"_s));
    twice.addFile(u"Pack/a.txt"_s, "first");
    twice.addFile(u"Pack/a.txt"_s, "second");
    ASSERT_TRUE(twice.finish()) << twice.errorString().toStdString();
    ArchiveWriter fileAndFolder(work.filePath(u"file-and-folder.zip"_s));
    fileAndFolder.addFile(u"Pack/a"_s, "file");
    fileAndFolder.addFile(u"Pack/a/b.txt"_s, "below");
    ASSERT_TRUE(fileAndFolder.finish()) << fileAndFolder.errorString().toStdString();
    const QString dos = world + u"windows-cp437/templates/fixture-titles.zip"_s;

    for (const bool arriving : {false, true}) {
        SCOPED_TRACE(arriving ? "as it arrives" : "from the complete file");
        const auto extract = [&](const QString &path) {
            return arriving ? extractArriving(ArchiveExtractor(), path) : ArchiveExtractor().extract(path, destination);
        };
        // With the UTF-8 flag (Python, 7-Zip) and without it (Info-ZIP, bsdtar), behind data descriptors (a Mac's
        // Archive Utility); read in one pass as they arrive.
        for (const QString &tool : {u"python"_s, u"finder"_s, u"7-zip"_s, u"info-zip"_s, u"bsdtar"_s}) {
            const auto mac = extract(world + tool + u"/templates/fixture-titles.zip"_s);
            ASSERT_TRUE(mac.succeeded()) << mac.error->toStdString();
            EXPECT_FALSE(mac.unpackedTwice) << tool.toStdString();
            EXPECT_TRUE(QFileInfo(destination + u'/' + decomposed).isFile()) << tool.toStdString();
            EXPECT_FALSE(QFileInfo::exists(destination + u'/' + decomposed.normalized(QString::NormalizationForm_C)));
            QDir(out).removeRecursively();
        }

        // "Café" and "Cafè" in code page 437, which UTF-8 decoding would have turned into one name.
        const auto windows = extract(dos);
        ASSERT_TRUE(windows.succeeded()) << windows.error->toStdString();
        for (const QString &name :
             {u"Caf\u00e9 Title/Caf\u00e9 Title.moti"_s, u"Caf\u00e8 Title/Caf\u00e8 Title.moti"_s})
            EXPECT_TRUE(QFileInfo::exists(destination + u"/Fixture Titles/Titles/KLV - Fixture Titles/"_s + name))
                << name.toStdString();
        QDir(out).removeRecursively();

        for (const auto &[zip, path] :
             {std::pair{u"twice.zip"_s, u"Pack/a.txt"_s}, std::pair{u"file-and-folder.zip"_s, u"Pack/a"_s}}) {
            const auto refused = extract(work.filePath(zip));
            ASSERT_FALSE(refused.succeeded()) << zip.toStdString();
            EXPECT_TRUE(refused.error->contains(u"two of its entries would be written to “"_s + path + u'”'))
                << refused.error->toStdString();
            EXPECT_FALSE(QFileInfo::exists(out));
        }
    }
}

// What archivers and file managers add is never unpacked, at any depth; a META-INF folder inside the content is
// content.
TEST_F(ArchiveExtractorTest, LeavesOutWhatArchiversAndFileManagersAdd) {
    const QString zip = work.filePath(u"junk.zip"_s);
    ASSERT_TRUE(ArchiveWriter::writeZip(zip, {{u"META-INF/MANIFEST.MF"_s, "jar"},
                                              {u"Pack/.DS_Store"_s, "finder"},
                                              {u"Pack/Deep/Er/.DS_Store"_s, "finder"},
                                              {u"Pack/Deep/._doc.moti"_s, "apple double"},
                                              {u"Pack/Deep/THUMBS.DB"_s, "explorer"},
                                              {u"Pack/desktop.ini"_s, "explorer"},
                                              {u"__MACOSX/Pack/._doc.moti"_s, "fork"},
                                              {u"Pack/Deep/doc.moti"_s, "content"},
                                              {u"Pack/META-INF/kept.txt"_s, "content"}}));
    const auto result = ArchiveExtractor().extract(zip, destination);
    ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
    EXPECT_EQ(result.topLevelItems, QStringList{u"Pack"_s});
    EXPECT_EQ(outItems(), (QStringList{u"job"_s, u"job/Templates"_s, u"job/Templates/Pack"_s,
                                       u"job/Templates/Pack/Deep"_s, u"job/Templates/Pack/Deep/doc.moti"_s,
                                       u"job/Templates/Pack/META-INF"_s, u"job/Templates/Pack/META-INF/kept.txt"_s}));
    EXPECT_EQ(result.bytesWritten, 14);
}

TEST_F(ArchiveExtractorTest, StopsBetweenBlocksAndRemovesThePartialOutput) {
    const QString zip = work.filePath(u"big.zip"_s);
    ArchiveWriter writer(zip);
    for (char i = 0; i < 8; ++i)
        writer.addFile(u"Pack/part%1"_s.arg(int(i)), QByteArray(3 << 20, i), 0644, Storage::stored);
    ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
    std::stop_source stop;
    qint64 stoppedAt = 0;
    const ArchiveExtractor extractor(ArchiveExtractor::defaultByteLimit, [&](qint64 written, qint64 total, qint64) {
        EXPECT_EQ(total, 24 << 20);
        stoppedAt = written;
        stop.request_stop();
    });
    const auto result = extractor.extract(zip, destination, stop.get_token());
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.error->contains(u"cancelled"));
    EXPECT_EQ(result.bytesWritten, stoppedAt);
    EXPECT_LT(stoppedAt, 4 << 20);
    EXPECT_FALSE(QFileInfo::exists(out));
}

TEST_F(ArchiveExtractorTest, UnpacksAnArchiveAsItArrivesAndFailsWithItsDownload) {
    const QByteArray text = words(100000, 3);
    const QByteArray media = randomBytes(300 << 10, 3);
    // The same pack as a tar, a zip, a zip whose stored entries give their sizes only after their data, and a zip
    // behind other bytes.
    const auto pack = [&](const QString &name, Format format, Storage storage, const QByteArray &prefix = {}) {
        const QString path = work.filePath(name);
        ArchiveWriter writer(path, format, prefix);
        if (format == Format::zip)
            writer.addFolder(u"Pack/Titles/"_s);
        writer.addFile(u"Pack/Titles/One/One.moti"_s, text);
        writer.addFile(u"Pack/Titles/One/media.mov"_s, media, 0644, storage);
        EXPECT_TRUE(writer.finish()) << writer.errorString().toStdString();
        return path;
    };
    const QString zip = pack(u"pack.zip"_s, Format::zip, Storage::stored);
    for (const QString &path : {zip, pack(u"pack.tar"_s, Format::tarGzip, Storage::stored)}) {
        SCOPED_TRACE(path.toStdString());
        const auto result = extractArriving(ArchiveExtractor(), path);
        ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
        EXPECT_FALSE(result.unpackedTwice) << "read as it arrived";
        EXPECT_EQ(result.topLevelItems, QStringList{u"Pack"_s});
        EXPECT_EQ(readFile(destination + u"/Pack/Titles/One/media.mov"), media);
        EXPECT_EQ(readFile(destination + u"/Pack/Titles/One/One.moti"), text);
        QDir(out).removeRecursively();
    }

    // Cut short: what was unpacked goes again.
    const auto cut = extractArriving(ArchiveExtractor(), zip, readFile(zip).size() / 2);
    ASSERT_FALSE(cut.succeeded());
    EXPECT_TRUE(cut.unreadable);
    EXPECT_TRUE(cut.error->contains(u"The download was cut."_s)) << cut.error->toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));

    // Stored entries whose sizes follow their data are read as they arrive; a zip behind other bytes (as a
    // self-extracting program is) only from its list at the end, once the download is complete.
    for (const QString &path :
         {pack(u"descriptors.zip"_s, Format::zip, Storage::storedSizesAfterData),
          pack(u"prefixed.zip"_s, Format::zip, Storage::stored, "#!/bin/sh\nexit 0\n" + QByteArray(5000, '\0'))}) {
        SCOPED_TRACE(path.toStdString());
        const auto result = extractArriving(ArchiveExtractor(), path);
        ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
        EXPECT_EQ(readFile(destination + u"/Pack/Titles/One/media.mov"), media);
        QDir(out).removeRecursively();
    }

    // A stop ends the wait for bytes that do not come.
    GrowingDownload stalled;
    std::stop_source stop;
    const std::jthread stopper([&] {
        std::this_thread::sleep_for(50ms);
        stop.request_stop();
    });
    const auto stopped = ArchiveExtractor().extractGrowing(zip, stalled, destination, stop.get_token());
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_FALSE(stopped.unreadable);
    EXPECT_FALSE(QFileInfo::exists(out));
}

} // namespace
} // namespace klv
