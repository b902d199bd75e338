#include "ArchiveWriter.h"
#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

const QString headline = u"Fixture Titles/Titles/KLV - Fixture Titles/Headline/Headline.moti"_s;
const QByteArray headlineText = "<motion>\n\t<layout>1\n\t<layout>1 and some more text\n</motion>\n";

// Where a zip's local header keeps what its list of entries repeats.
constexpr qsizetype flagsAt = 6;
constexpr qsizetype compressedSizeAt = 18;
constexpr qsizetype nameAt = 30;

// A damaged package, served where the product's package was, for a real klv install against klv-store.
class DamagedArchiveCliTest : public SignedInKlvTest {
protected:
    QString served(const QString &relative) const { return catalog.filePath(u"files/"_s + relative); }
    QString motionTitles(const QString &relative) const {
        return home.filePath(u"Videos/Motion Templates.localized/Titles.localized/"_s + relative);
    }
    QString resolveTemplates() const { return home.filePath(u".local/share/DaVinciResolve/Fusion/Templates"_s); }

    // The Fixture Titles package with its documents stored as they are, so that their bytes can be found.
    void serveTitles() const {
        ArchiveWriter zip(served(u"templates/fixture-titles.zip"_s));
        zip.addFile(headline, headlineText, 0644, ArchiveWriter::Storage::stored);
        zip.addFile(u"Fixture Titles/Titles/KLV - Fixture Titles/Lower Third/Lower Third.moti"_s, "\t<layout>1\n", 0644,
                    ArchiveWriter::Storage::stored);
        ASSERT_TRUE(zip.finish()) << zip.errorString().toStdString();
    }
    // Changes the local header of the entry, leaving the list of entries at the end as it was.
    static void changeLocalHeader(const QString &zipPath, const QString &entry,
                                  const std::function<void(QByteArray &zip, qsizetype header)> &change) {
        QByteArray zip = readFile(zipPath);
        const qsizetype header = localHeaderOf(zip, entry);
        ASSERT_GE(header, 0) << entry.toStdString();
        change(zip, header);
        ASSERT_TRUE(writeFile(zipPath, zip));
    }
    static qsizetype localHeaderOf(const QByteArray &zip, const QString &entry) {
        const QByteArray name = entry.toUtf8();
        for (qsizetype at = zip.indexOf("PK\x03\x04"); at >= 0; at = zip.indexOf("PK\x03\x04", at + 1)) {
            if (zip.mid(at + nameAt, name.size()) == name)
                return at;
        }
        return -1;
    }
    void expectDamagedAndNothingInstalled(const CliResult &result, const QString &product) const {
        EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
        EXPECT_EQ(result.out, u"Failed "_s + product + u'\n');
        EXPECT_TRUE(result.err.contains(u"Alert: Installing "_s + product + u" failed: "_s))
            << result.err.toStdString();
    }
};

TEST_F(DamagedArchiveCliTest, AnEntryWhoseLocalHeaderDisagreesWithTheListInstallsNothing) {
    // One byte of a name in a local header: another name, or a control character. Templates are read as they
    // arrive, DaVinci Resolve bundles from the complete file; both fail the job.
    const struct {
        QString product;
        QString zip;
        QString entry;
        char replacement;
        std::function<bool()> nothingInstalled;
    } cases[] = {
        {u"Fixture Titles"_s, u"templates/fixture-titles.zip"_s, headline, 'X',
         [&] {
             return !QFileInfo::exists(motionTitles(u"KLV - Fixture Titles"_s));
         }},
        {u"Fixture Titles"_s, u"templates/fixture-titles.zip"_s, headline, '\x01',
         [&] {
             return !QFileInfo::exists(motionTitles(u"KLV - Fixture Titles"_s));
         }},
        {u"Fixture Grade DVR"_s, u"resolve/fixture-grade-dvr.zip"_s, u"KLV - Fixture Grade DVR.drfx"_s, 'X',
         [&] {
             return QDir(resolveTemplates()).isEmpty();
         }},
    };
    for (const auto &damaged : cases) {
        SCOPED_TRACE(damaged.zip.toStdString() + " with " + std::to_string(int(damaged.replacement)));
        if (damaged.zip.startsWith(u"templates/"))
            serveTitles();
        changeLocalHeader(served(damaged.zip), damaged.entry, [&](QByteArray &zip, qsizetype header) {
            zip[header + nameAt + damaged.entry.toUtf8().lastIndexOf('/') + 1] = damaged.replacement;
        });
        const CliResult result = klv({u"install"_s, damaged.product});
        expectDamagedAndNothingInstalled(result, damaged.product);
        EXPECT_TRUE(result.err.contains(u"damaged"_s) || result.err.contains(u"unsafe name"_s))
            << result.err.toStdString();
        EXPECT_TRUE(damaged.nothingInstalled());
    }
}

TEST_F(DamagedArchiveCliTest, ADocumentWhoseLocalHeaderSaysItIsEmptyFailsTheJob) {
    serveTitles();
    // As a writer that knows the sizes up front puts them, but the stored size says nothing is there; the list at
    // the end still gives the document's size and checksum.
    changeLocalHeader(served(u"templates/fixture-titles.zip"_s), headline, [](QByteArray &zip, qsizetype header) {
        zip[header + flagsAt] = char(zip[header + flagsAt] & ~0x08);
        zip.replace(header + compressedSizeAt, 4, QByteArray(4, '\0'));
    });
    const CliResult result = klv({u"install"_s, u"Fixture Titles"_s});
    expectDamagedAndNothingInstalled(result, u"Fixture Titles"_s);
    EXPECT_TRUE(result.err.contains(u"damaged"_s)) << result.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(motionTitles(u"KLV - Fixture Titles/Headline/Headline.moti"_s)));

    serveTitles();
    const CliResult whole = klv({u"install"_s, u"Fixture Titles"_s});
    EXPECT_EQ(whole.exitCode, 0) << whole.err.toStdString();
    EXPECT_EQ(readFile(motionTitles(u"KLV - Fixture Titles/Headline/Headline.moti"_s)),
              "<motion>\n<canvas>\n\t<layout>1\n<canvas>\n\t<layout>1 and some more text\n</motion>\n");
}

TEST_F(DamagedArchiveCliTest, ATemplateZipBombIsRefusedByItsDeclaredSizesBeforeItIsUnpacked) {
    // Nine entries of a gigabyte each from about 9 MB: beyond the 8 GB an archive may unpack to.
    QStringList names;
    for (int i = 1; i <= 9; ++i)
        names << u"Fixture Titles/Titles/KLV - Fixture Titles/Bomb/part%1.mov"_s.arg(i);
    ASSERT_TRUE(ArchiveWriter::writeZeroBomb(served(u"templates/fixture-titles.zip"_s), names, qint64{1} << 30));

    QProcess install;
    install.setProcessEnvironment(environment());
    install.start(QString::fromUtf8(KLV_CLI_BINARY), {u"install"_s, u"Fixture Titles"_s});
    ASSERT_TRUE(install.waitForStarted());
    // What klv wrote, from the kernel's count, until it ends.
    const QString counters = u"/proc/%1/io"_s.arg(install.processId());
    qint64 written = 0;
    const bool ended = waitUntil(
        [&] {
            for (const QByteArray &line : readFile(counters).split('\n')) {
                if (line.startsWith("wchar: "))
                    written = std::max(written, line.mid(7).toLongLong());
            }
            return install.state() == QProcess::NotRunning;
        },
        120'000);
    ASSERT_TRUE(ended) << "still unpacking after two minutes, " << written << " bytes written";
    const CliResult result{install.exitCode(), QString::fromUtf8(install.readAllStandardOutput()),
                           QString::fromUtf8(install.readAllStandardError())};
    expectDamagedAndNothingInstalled(result, u"Fixture Titles"_s);
    EXPECT_TRUE(result.err.contains(u"expands beyond"_s)) << result.err.toStdString();
    EXPECT_LT(written, qint64{1} << 30) << "written before the refusal";
    EXPECT_FALSE(QFileInfo::exists(motionTitles(u"KLV - Fixture Titles"_s)));
}

} // namespace
} // namespace klv::test
