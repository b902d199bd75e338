#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <zlib.h>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

ino_t inodeOf(const QString &path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

class VerifyRepairCliTest : public SignedInKlvTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(SignedInKlvTest::SetUp());
        ASSERT_EQ(klv({u"install"_s, u"Fixture Titles"_s}).exitCode, 0);
    }

    QJsonObject verifiedJson(const QStringList &extra = {}) const {
        const CliResult result = klv(QStringList{u"verify"_s, u"--json"_s} + extra);
        return QJsonDocument::fromJson(result.out.toUtf8())[u"products"][0].toObject();
    }
    QString titles(const QString &relative) const {
        return home.filePath(u"Videos/Motion Templates.localized/Titles.localized/KLV - Fixture Titles/"_s + relative);
    }
    QString transitions() const {
        return home.filePath(u"Videos/Motion Templates.localized/Transitions.localized/KLV - Fixture Titles"_s);
    }
    QString manifest() const {
        return home.filePath(u".local/share/klv-app/Applications/Vantory/Manifests/Fixture Titles.json"_s);
    }
    // Removes one file, rewrites another with the same size and adds a third.
    void damage() const {
        ASSERT_TRUE(QFile::remove(titles(u"Lower Third/Lower Third.moti"_s)));
        QByteArray headline = readFile(titles(u"Headline/Headline.moti"_s));
        headline[0] = headline[0] == 'x' ? 'y' : 'x';
        ASSERT_TRUE(writeFile(titles(u"Headline/Headline.moti"_s), headline));
        ASSERT_TRUE(writeFile(titles(u"Headline/stray.txt"_s), "left here"));
    }
};

TEST_F(VerifyRepairCliTest, AnInstallRecordsEveryFileAndVerifyNamesWhatDiffers) {
    const QByteArray recorded = readFile(manifest());
    EXPECT_FALSE(recorded.contains('\n')) << "compact";
    const QByteArray headlineHash =
        QCryptographicHash::hash(readFile(titles(u"Headline/Headline.moti"_s)), QCryptographicHash::Sha256).toHex();
    EXPECT_TRUE(recorded.contains(headlineHash)) << "the prepared document as placed";
    const QByteArray readMe = readFile(titles(u"Lower Third/Read Me.txt"_s));
    const auto readMeCrc = crc32_z(0, reinterpret_cast<const Bytef *>(readMe.constData()), size_t(readMe.size()));
    const QByteArray readMeDigest = "crc32:" + QByteArray::number(quint32(readMeCrc), 16).rightJustified(8, '0');
    EXPECT_TRUE(recorded.contains(readMeDigest)) << "a file placed as packed, by the package's checksum";
    EXPECT_TRUE(recorded.contains("\"release\":\"2025.06.01\""));
    const CliResult intact = klv({u"verify"_s});
    EXPECT_EQ(intact.exitCode, 0) << intact.err.toStdString();
    EXPECT_EQ(intact.out, u"Fixture Titles: intact\n");

    const QByteArray headline = readFile(titles(u"Headline/Headline.moti"_s));
    damage();
    for (const QStringList &depth : {QStringList{}, QStringList{u"--quick"_s}}) {
        const QJsonObject check = verifiedJson(depth);
        EXPECT_EQ(check[u"missing"].toArray(), QJsonArray{titles(u"Lower Third/Lower Third.moti"_s)});
        EXPECT_EQ(check[u"changed"].toArray(), QJsonArray{titles(u"Headline/Headline.moti"_s)});
        EXPECT_EQ(check[u"extra"].toArray(), QJsonArray{titles(u"Headline/stray.txt"_s)});
        EXPECT_FALSE(check[u"intact"].toBool());
    }
    const CliResult differs = klv({u"verify"_s, u"Fixture Titles"_s});
    EXPECT_EQ(differs.exitCode, 1);
    EXPECT_TRUE(differs.out.startsWith(u"Fixture Titles: 1 missing, 1 changed, 1 extra\n"))
        << differs.out.toStdString();

    // The same bytes written again: only the time tells, which only --quick looks at.
    ASSERT_TRUE(writeFile(titles(u"Headline/Headline.moti"_s), headline));
    EXPECT_EQ(verifiedJson()[u"changed"].toArray(), QJsonArray());
    EXPECT_EQ(verifiedJson({u"--quick"_s})[u"changed"].toArray(), QJsonArray{titles(u"Headline/Headline.moti"_s)});
}

TEST_F(VerifyRepairCliTest, LooksAreVerifiedAndRepairedLikeEveryOtherPart) {
    ASSERT_EQ(klv({u"install"_s, u"Fixture Extras"_s}).exitCode, 0);
    const QString look =
        home.filePath(u".local/share/DaVinciResolve/Fusion/LUTs/KLV - Fixture Extras LUTs/Fixture Warm.cube"_s);
    const QByteArray placed = readFile(look);
    ASSERT_FALSE(placed.isEmpty());
    EXPECT_EQ(klv({u"verify"_s, u"Fixture Extras"_s}).out, u"Fixture Extras: intact\n");

    ASSERT_TRUE(writeFile(look, "an altered look"));
    const CliResult altered = klv({u"verify"_s, u"Fixture Extras"_s});
    EXPECT_EQ(altered.exitCode, 1);
    EXPECT_TRUE(altered.out.startsWith(u"Fixture Extras: 0 missing, 1 changed, 0 extra"_s))
        << altered.out.toStdString();
    QFile::remove(look);
    EXPECT_TRUE(klv({u"verify"_s, u"Fixture Extras"_s}).out.startsWith(u"Fixture Extras: 1 missing, 0 changed"_s));

    const CliResult repaired = klv({u"repair"_s, u"Fixture Extras"_s});
    EXPECT_EQ(repaired.exitCode, 0) << repaired.err.toStdString();
    EXPECT_EQ(readFile(look), placed);
    EXPECT_EQ(klv({u"verify"_s, u"Fixture Extras"_s}).out, u"Fixture Extras: intact\n");
}

TEST_F(VerifyRepairCliTest, RepairReplacesOnlyTheDamagedTemplateFoldersAndUninstallForgetsTheRecord) {
    const ino_t untouched = inodeOf(transitions());
    damage();
    const CliResult repaired = klv({u"repair"_s, u"Fixture Titles"_s});
    EXPECT_EQ(repaired.exitCode, 0) << repaired.err.toStdString();
    EXPECT_TRUE(repaired.out.endsWith(u"Repaired Fixture Titles\n")) << repaired.out.toStdString();
    EXPECT_TRUE(readFile(titles(u"Lower Third/Lower Third.moti"_s)).contains("<canvas>"));
    EXPECT_FALSE(QFileInfo::exists(titles(u"Headline/stray.txt"_s)));
    EXPECT_EQ(inodeOf(transitions()), untouched) << "a whole template folder is left as it is";
    EXPECT_EQ(klv({u"verify"_s}).out, u"Fixture Titles: intact\n");
    EXPECT_EQ(klv({u"repair"_s, u"Fixture Titles"_s}).out, u"Fixture Titles: intact, nothing to repair\n");

    ASSERT_EQ(klv({u"uninstall"_s, u"--yes"_s, u"Fixture Titles"_s}).exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(manifest()));
}

TEST_F(VerifyRepairCliTest, AnInstallWithoutARecordIsDescribedAsItStandsTheFirstTime) {
    ASSERT_TRUE(QFile::remove(manifest()));
    const CliResult first = klv({u"verify"_s});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, u"Fixture Titles: baseline taken\n");
    EXPECT_TRUE(readFile(manifest()).contains("\"baseline\":true"));

    ASSERT_TRUE(QDir(transitions()).removeRecursively());
    const QJsonObject check = verifiedJson();
    EXPECT_EQ(check[u"missing"].toArray().size(), 1) << "the deleted template folder";
    EXPECT_EQ(klv({u"verify"_s}).exitCode, 1);

    // A record damaged on disk is not passed off as a missing one: the new baseline cannot vouch for what came before.
    ASSERT_TRUE(writeFile(manifest(), "{\"files\": [[\"/trunc"));
    const CliResult damaged = klv({u"verify"_s});
    EXPECT_EQ(damaged.out,
              u"Fixture Titles: baseline taken; its record could not be read, so earlier changes cannot be told\n");
    EXPECT_EQ(verifiedJson()[u"recordUnreadable"], false) << "the new baseline reads";
}

} // namespace
} // namespace klv::test
