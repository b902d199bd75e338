#include "library/InstallManifest.h"
#include "install/ArchiveExtractor.h"
#include "library/InstallVerifier.h"

#include "ArchiveWriter.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

QByteArray crc32Of(const QByteArray &data) {
    const auto crc = crc32_z(0, reinterpret_cast<const Bytef *>(data.constData()), size_t(data.size()));
    const QByteArray digest = "crc32:" + QByteArray::number(quint32(crc), 16).rightJustified(8, '0');
    return digest;
}

QByteArray sha256Of(const QByteArray &data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

class InstallManifestTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }
    QString path(const QString &relative) const { return root.filePath(relative); }
    QByteArray digestOf(const InstallManifest &manifest, const QString &file) const {
        for (const ScannedFile &scanned : manifest.files) {
            if (scanned.path == path(file))
                return scanned.digest;
        }
        return "not recorded";
    }
    ProductCheck verify(const InstallManifest &manifest) const {
        EXPECT_FALSE(manifest.write(InstallManifest::pathFor(path(u"maker/"_s), u"Pack"_s)));
        return InstallVerifier(path(u"maker/"_s))
            .verify(u"Pack"_s, 1, u"1"_s, manifest.roots, InstallVerifier::Depth::full);
    }

    QTemporaryDir root;
};

// What an unpacking wrote is recorded by the archive's checksum (as packed) or the digest of the edited content,
// wherever it has been moved since, and a change that keeps its size and time is still caught; what was rewritten
// after the unpacking is read again.
TEST_F(InstallManifestTest, UnpackedFilesAreRecordedByTheirArchiveChecksumAndAlterationsAreStillCaught) {
    const QByteArray media(300'000, 'm');
    test::ArchiveWriter archive(path(u"pack.zip"_s));
    archive.addFile(u"Pack/media.mov"_s, media, 0644, test::ArchiveWriter::Storage::stored);
    archive.addFile(u"Pack/notes.txt"_s, "notes as packed");
    archive.addFile(u"Pack/edited.moti"_s, "<scene/>");
    archive.addFile(u"Pack/rewritten.txt"_s, "before");
    ASSERT_TRUE(archive.finish()) << archive.errorString().toStdString();
    ArchiveExtractor extractor;
    extractor.setEntryEditor({1024, [](const QStringList &components) { return components.last().endsWith(u".moti"); },
                              [](const QStringList &, QByteArray &content) {
                                  content.prepend("<canvas/>");
                              }});
    const ArchiveExtractor::Result result = extractor.extract(path(u"pack.zip"_s), path(u"unpacked"_s));
    ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
    ASSERT_EQ(result.unpackedFiles.size(), 4);
    EXPECT_TRUE(std::any_of(result.unpackedFiles.cbegin(), result.unpackedFiles.cend(), [](const UnpackedFile &file) {
        return file.digest == sha256Of("<canvas/><scene/>");
    })) << "the edited document's digest is known as it is written";

    ASSERT_TRUE(QDir().rename(path(u"unpacked/Pack"_s), path(u"placed"_s)));
    ASSERT_TRUE(test::writeFile(path(u"placed/rewritten.txt.new"_s), "after!"));
    ASSERT_EQ(::rename(QFile::encodeName(path(u"placed/rewritten.txt.new"_s)).constData(),
                       QFile::encodeName(path(u"placed/rewritten.txt"_s)).constData()),
              0);
    const InstallManifest manifest =
        InstallManifest::describe(u"Pack"_s, 1, u"1"_s, {path(u"placed"_s)}, result.unpackedFiles);
    EXPECT_EQ(digestOf(manifest, u"placed/media.mov"_s), crc32Of(media));
    EXPECT_EQ(digestOf(manifest, u"placed/notes.txt"_s), crc32Of("notes as packed"));
    EXPECT_EQ(digestOf(manifest, u"placed/edited.moti"_s), sha256Of("<canvas/><scene/>"));
    EXPECT_EQ(digestOf(manifest, u"placed/rewritten.txt"_s), sha256Of("after!"));
    EXPECT_TRUE(verify(manifest).changed.isEmpty());
    EXPECT_EQ(InstallManifest::read(InstallManifest::pathFor(path(u"maker/"_s), u"Pack"_s))->files.size(), 4);

    // One byte altered in place, its size and time put back: only the content tells.
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path(u"placed/media.mov"_s)).constData(), &before), 0);
    QByteArray altered = media;
    altered[150'000] = 'x';
    ASSERT_TRUE(test::writeFile(path(u"placed/media.mov"_s), altered));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path(u"placed/media.mov"_s)).constData(), times, 0), 0);
    const ProductCheck check =
        InstallVerifier(path(u"maker/"_s)).verify(u"Pack"_s, 1, u"1"_s, manifest.roots, InstallVerifier::Depth::full);
    EXPECT_EQ(check.changed, QStringList{path(u"placed/media.mov"_s)});
}

} // namespace
} // namespace klv
