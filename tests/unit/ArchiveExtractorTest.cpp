#include "install/ArchiveExtractor.h"
#include "install/GrowingDownload.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <thread>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// Hostile archives come from Python: the zip command cleans the very names these tests need.
class ArchiveExtractorTest : public ::testing::Test {
protected:
    QString archive(const QString &fileName, const QString &script, const QStringList &arguments = {}) {
        const QString path = work.filePath(fileName);
        QProcess python;
        python.start(QStringLiteral("python3"),
                     QStringList{QStringLiteral("-c"),
                                 QStringLiteral("import sys, stat, zipfile, tarfile, io\nout = sys.argv[1]\n") + script,
                                 path} +
                         arguments);
        EXPECT_TRUE(python.waitForFinished(60000) && python.exitCode() == 0) << python.readAllStandardError().data();
        return path;
    }

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

    static QByteArray read(const QString &path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    // Extracts an archive while another thread writes it in pieces, as a download does; with cutAt, the download
    // fails after that many bytes.
    ArchiveExtractor::Result extractArriving(const ArchiveExtractor &extractor, const QString &archivePath,
                                             std::optional<qsizetype> cutAt = {}) const {
        const QByteArray bytes = read(archivePath);
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
    QString out = work.filePath(QStringLiteral("out"));
    QString destination = out + u"/job/Templates";
};

TEST_F(ArchiveExtractorTest, UnpacksNestedFoldersWithSafePermissionsAndSkipsMacResourceForks) {
    const QString zip = archive(QStringLiteral("pack.zip"), QStringLiteral(R"(
def entry(name, data, mode):
    info = zipfile.ZipInfo(name, (2021, 3, 4, 5, 6, 8)); info.create_system = 3
    info.external_attr = mode << 16; info.compress_type = zipfile.ZIP_DEFLATED
    z.writestr(info, data)
with zipfile.ZipFile(out, 'w') as z:
    entry('Pack/Titles/Lower Third/Lower Third.moti', 'doc' * 100000, 0o100644)
    entry('Pack/Titles/Lower Third/run', 'exec', 0o104777)
    entry('Pack/Empty/', '', 0o040777)
    entry('./Readme.txt', 'read me', 0o100400)
    entry('__MACOSX/Pack/._run', 'fork', 0o100644)
)"));
    QList<std::pair<qint64, qint64>> reports;
    const ArchiveExtractor extractor(ArchiveExtractor::defaultByteLimit, [&](qint64 written, qint64 total) {
        reports.append({written, total});
    });

    const auto result = extractor.extract(zip, destination);
    ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
    EXPECT_EQ(result.topLevelItems, (QStringList{QStringLiteral("Pack"), QStringLiteral("Readme.txt")}));
    EXPECT_EQ(result.bytesWritten, 300000 + 4 + 7);
    EXPECT_EQ(read(destination + u"/Pack/Titles/Lower Third/Lower Third.moti"), QByteArray("doc").repeated(100000));
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
    const QString script = QStringLiteral(R"(
kind, name, target = sys.argv[2:]
class Info(zipfile.ZipInfo):  # zipfile itself cannot write an empty name
    def is_dir(self): return self.filename.endswith('/')
if kind == 'tar':
    with tarfile.open(out, 'w:gz') as t:
        t.addfile(tarfile.TarInfo('Pack/fine.txt'))
        info = tarfile.TarInfo(name)
        if target: info.type = tarfile.LNKTYPE; info.linkname = target
        t.addfile(info)
else:
    with zipfile.ZipFile(out, 'w') as z:
        z.writestr('Pack/fine.txt', 'fine')
        info = Info(name); info.create_system = 3
        info.external_attr = {'file': 0o100644, 'link': stat.S_IFLNK | 0o777, 'device': stat.S_IFCHR | 0o666}[kind] << 16
        z.writestr(info, target or 'evil')
)");
    const QString outside = work.filePath(QStringLiteral("outside.txt"));
    QFile(outside).open(QIODevice::WriteOnly);
    const struct {
        QString kind, name, target, expected;
    } cases[] = {
        {u"file"_s, u"../evil"_s, {}, u"unsafe name: “../evil”"_s},
        {u"file"_s, u"/tmp/klv-absolute-evil"_s, {}, u"unsafe name: “/tmp/klv-absolute-evil”"_s},
        {u"file"_s, u"a/../../b"_s, {}, u"unsafe name: “a/../../b”"_s},
        {u"file"_s, {}, {}, u"an entry without a name"_s},
        {u"tar"_s, u"Pack/../../../evil"_s, {}, u"unsafe name: “Pack/../../../evil”"_s},
        {u"link"_s, u"Pack/link"_s, outside, u"a link, which is refused: “Pack/link”"_s},
        {u"tar"_s, u"Pack/hard"_s, outside, u"a link, which is refused: “Pack/hard”"_s},
        {u"device"_s, u"null"_s, {}, u"“null”, which is neither a file nor a folder"_s},
    };
    for (const auto &hostile : cases) {
        for (const bool arriving : {false, true}) {
            SCOPED_TRACE(hostile.expected.toStdString() + (arriving ? " as it arrives" : ""));
            const QString hostileArchive =
                archive(QStringLiteral("hostile"), script, {hostile.kind, hostile.name, hostile.target});
            const auto result = arriving ? extractArriving(ArchiveExtractor(), hostileArchive)
                                         : ArchiveExtractor().extract(hostileArchive, destination);
            ASSERT_FALSE(result.succeeded());
            EXPECT_FALSE(result.unreadable);
            EXPECT_TRUE(result.error->contains(hostile.expected)) << result.error->toStdString();
            EXPECT_FALSE(QFileInfo::exists(out));
            EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/klv-absolute-evil")));
            EXPECT_EQ(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                      (QStringList{QStringLiteral("hostile"), QStringLiteral("outside.txt")}));
            EXPECT_EQ(QFileInfo(outside).size(), 0);
        }
    }
}

TEST_F(ArchiveExtractorTest, NeverWritesThroughLinksButReachesTheDestinationThroughOne) {
    const QString zip = archive(QStringLiteral("pack.zip"), QStringLiteral(R"(
with zipfile.ZipFile(out, 'w') as z:
    z.writestr('fonts/a.ttf', 'font')
    z.writestr('sub/b.ttf', 'font')
)"));
    const QString elsewhere = work.filePath(QStringLiteral("elsewhere"));
    QDir().mkpath(elsewhere);
    QDir().mkpath(destination);
    QFile::link(elsewhere, destination + u"/sub");
    QFile(destination + u"/keep").open(QIODevice::WriteOnly);

    const auto refused = ArchiveExtractor().extract(zip, destination);
    ASSERT_FALSE(refused.succeeded());
    EXPECT_TRUE(refused.error->startsWith(u"“sub/b.ttf” could not be written")) << refused.error->toStdString();
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    EXPECT_EQ(outItems(), (QStringList{QStringLiteral("job"), QStringLiteral("job/Templates"),
                                       QStringLiteral("job/Templates/keep"), QStringLiteral("job/Templates/sub")}));

    // Nor through a link where a file of the archive goes: the link stays and its target is untouched.
    QFile::remove(destination + u"/sub");
    const QString outsideFile = work.filePath(QStringLiteral("outside.ttf"));
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
    QFile::link(destination, work.filePath(QStringLiteral("linked")));
    const auto result = ArchiveExtractor().extract(zip, work.filePath(QStringLiteral("linked")));
    ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
    EXPECT_EQ(read(destination + u"/sub/b.ttf"), "font");
}

TEST_F(ArchiveExtractorTest, StopsArchivesThatExpandBeyondTheLimit) {
    // The zip declares its size and is refused before anything is written; the tar is stopped by the bytes
    // actually written, which also catches archives that lie about their sizes.
    const QString zip = archive(QStringLiteral("bomb.zip"), QStringLiteral(R"(
with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('zeros', bytes(16 << 20))
)"));
    const QString tar = archive(QStringLiteral("bomb.tar.xz"), QStringLiteral(R"(
with tarfile.open(out, 'w:xz') as t:
    for name in ['a', 'b']:
        info = tarfile.TarInfo('Pack/' + name); info.size = 700 << 10; t.addfile(info, io.BytesIO(bytes(info.size)))
)"));
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
    const QString zip = archive(QStringLiteral("good.zip"), QStringLiteral(R"(
import random
random.seed(7)
with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('Pack/small.txt', 'small')
    z.writestr('Pack/text.txt', ' '.join(random.choice(['motion', 'title', 'canvas']) for _ in range(200000)))
)"));
    const QByteArray bytes = read(zip);
    const auto write = [&](const QString &name, const QByteArray &content) {
        QFile file(work.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return file.fileName();
    };
    QByteArray corrupt = bytes;
    for (qsizetype at = corrupt.size() / 3; at < corrupt.size() / 3 + 64; ++at)
        corrupt[at] = static_cast<char>(~corrupt[at]);
    QDir().mkpath(destination + u"/Pack");
    QFile(destination + u"/Pack/small.txt").open(QIODevice::WriteOnly);

    for (const QString &damaged :
         {write(QStringLiteral("truncated.zip"), bytes.left(bytes.size() / 2)),
          write(QStringLiteral("corrupt.zip"), corrupt), write(QStringLiteral("error.html"), "<html>Not Found</html>"),
          write(QStringLiteral("empty.zip"), {})}) {
        const auto result = ArchiveExtractor().extract(damaged, destination);
        ASSERT_FALSE(result.succeeded()) << damaged.toStdString();
        EXPECT_TRUE(result.error->contains(QFileInfo(damaged).fileName())) << result.error->toStdString();
        EXPECT_EQ(outItems(),
                  (QStringList{QStringLiteral("job"), QStringLiteral("job/Templates"),
                               QStringLiteral("job/Templates/Pack"), QStringLiteral("job/Templates/Pack/small.txt")}));
    }
}

TEST_F(ArchiveExtractorTest, StopsBetweenBlocksAndRemovesThePartialOutput) {
    const QString zip = archive(QStringLiteral("big.zip"), QStringLiteral(R"(
with zipfile.ZipFile(out, 'w') as z:
    for i in range(8):
        z.writestr(f'Pack/part{i}', bytes([i]) * (3 << 20))
)"));
    std::stop_source stop;
    qint64 stoppedAt = 0;
    const ArchiveExtractor extractor(ArchiveExtractor::defaultByteLimit, [&](qint64 written, qint64 total) {
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
    const QString script = QStringLiteral(R"(
import os, random
random.seed(3)
text = ' '.join(random.choice(['motion', 'title', 'canvas']) for _ in range(100000))
media = random.randbytes(300 << 10)
def fill(z):
    z.writestr('Pack/Titles/', '')
    z.writestr('Pack/Titles/One/One.moti', text, zipfile.ZIP_DEFLATED)
    z.writestr('Pack/Titles/One/media.mov', media, zipfile.ZIP_STORED)
class Unseekable(io.RawIOBase):  # zipfile then gives each size after the data, in a descriptor
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
if sys.argv[2] == 'tar':
    with tarfile.open(out, 'w:gz') as t:
        for name, data in [('Pack/Titles/One/One.moti', text.encode()), ('Pack/Titles/One/media.mov', media)]:
            info = tarfile.TarInfo(name); info.size = len(data); t.addfile(info, io.BytesIO(data))
elif sys.argv[2] == 'descriptors':
    with open(out, 'wb') as f, zipfile.ZipFile(Unseekable(f), 'w') as z: fill(z)
elif sys.argv[2] == 'prefixed':
    with open(out, 'wb') as f: f.write(b'#!/bin/sh\nexit 0\n' + bytes(5000))
    with zipfile.ZipFile(out, 'a') as z: fill(z)
else:
    with zipfile.ZipFile(out, 'w') as z: fill(z)
)");
    const QString zip = archive(u"pack.zip"_s, script, {u"zip"_s});
    for (const QString &kind : {u"zip"_s, u"tar"_s}) {
        SCOPED_TRACE(kind.toStdString());
        const auto result = extractArriving(ArchiveExtractor(), archive(u"pack."_s + kind, script, {kind}));
        ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
        EXPECT_EQ(result.topLevelItems, QStringList{u"Pack"_s});
        EXPECT_EQ(QFileInfo(destination + u"/Pack/Titles/One/media.mov").size(), 300 << 10);
        EXPECT_TRUE(read(destination + u"/Pack/Titles/One/One.moti").startsWith("motion ") ||
                    read(destination + u"/Pack/Titles/One/One.moti").startsWith("title ") ||
                    read(destination + u"/Pack/Titles/One/One.moti").startsWith("canvas "));
        QDir(out).removeRecursively();
    }

    // Cut short: what was unpacked goes again.
    const auto cut = extractArriving(ArchiveExtractor(), zip, read(zip).size() / 2);
    ASSERT_FALSE(cut.succeeded());
    EXPECT_TRUE(cut.unreadable);
    EXPECT_TRUE(cut.error->contains(u"The download was cut."_s)) << cut.error->toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));

    // Stored entries whose sizes follow their data are read as they arrive; a zip behind other bytes (as a
    // self-extracting program is) only from its list at the end, once the download is complete.
    for (const QString &kind : {u"descriptors"_s, u"prefixed"_s}) {
        SCOPED_TRACE(kind.toStdString());
        const auto result = extractArriving(ArchiveExtractor(), archive(kind + u".zip"_s, script, {kind}));
        ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
        EXPECT_EQ(QFileInfo(destination + u"/Pack/Titles/One/media.mov").size(), 300 << 10);
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
