#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// Serves the packages one archiver wrote in place of the catalog's own.
void serveWorld(const QTemporaryDir &catalog, const QString &tool) {
    copyFolder(fixtureFolder(u"world-packages/"_s + tool), catalog.filePath(u"files"_s));
}

// Packages written by other archivers (tests/fixtures/world-packages, with the script that made them), served in
// place of the fixture's own: each installs under the names it holds, leaves its junk out, verifies and uninstalls.
class WorldPackagesCliTest : public SignedInKlvTest, public ::testing::WithParamInterface<const char *> {
protected:
    void prepareCatalog() override { serveWorld(catalog, QString::fromUtf8(GetParam())); }
    // A name as this tool's archives hold it: decomposed as on a Mac, composed as on Windows.
    QString named(const QString &path) const {
        return home.filePath(path.normalized(
            GetParam() == std::string("windows-cp437") ? QString::NormalizationForm_C : QString::NormalizationForm_D));
    }
    // Every path below the home that an archiver or file manager added.
    QStringList junk() const {
        QStringList found;
        for (QDirIterator it(home.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString name = QFileInfo(it.next()).fileName();
            if (name == u".DS_Store" || name == u"__MACOSX" || name.startsWith(u"._") || name == u"Thumbs.db" ||
                name == u"desktop.ini" || name == u"META-INF")
                found << it.filePath();
        }
        return found;
    }
};

const QString titles = u"Videos/Motion Templates.localized/Titles.localized/KLV - Fixture Titles/"_s;
const QString generators = u"Videos/Motion Templates.localized/Generators.localized/KLV - Fixture Extras/"_s;
const QString scratches = u"Videos/KLV Composite/Fixture Scratches/"_s;
const QString glow = u".local/share/klv-app/Applications/Vantory/Plugins/KLV Fixture Glow.app/"_s;
const QStringList products{u"Fixture Titles"_s, u"Fixture Extras"_s, u"Fixture Scratches"_s, u"Fixture Grade DVR"_s,
                           u"Fixture Plugins"_s};

TEST_P(WorldPackagesCliTest, InstallsUnderTheStoredNamesWithoutJunkVerifiesAndUninstalls) {
    const CliResult installed = klv(QStringList{u"install"_s} + products);
    ASSERT_EQ(installed.exitCode, 0) << installed.err.toStdString();

    // Two names that differ in one accented letter stay two templates.
    const QStringList placed{titles + u"Café Title/Café Title.moti"_s,
                             titles + u"Cafè Title/Cafè Title.moti"_s,
                             titles + u"Headline/Headline.moti"_s,
                             generators + u"Fond Étoilé/Fond Étoilé.motn"_s,
                             u".local/share/fonts/Fixture Famille Légère.otf"_s,
                             u".local/share/fonts/Fixture Family Regular.ttf"_s,
                             scratches + u"Rayure Fine é.txt"_s,
                             u".local/share/DaVinciResolve/Fusion/Templates/KLV - Fixture Grade DVR.drfx"_s,
                             glow + u"AppRun"_s,
                             glow + u"Resources/Réglages.txt"_s};
    for (const QString &path : placed)
        EXPECT_TRUE(QFileInfo(named(path)).isFile()) << path.toStdString();
    EXPECT_TRUE(QFileInfo(named(glow + u"AppRun"_s)).isExecutable());
    EXPECT_EQ(junk(), QStringList{});

    const CliResult listed = klv({u"list"_s, u"--filter"_s, u"installed"_s});
    for (const QString &product : products)
        EXPECT_TRUE(listed.out.contains(product)) << product.toStdString() << '\n' << listed.out.toStdString();
    const CliResult verified = klv({u"verify"_s});
    EXPECT_EQ(verified.exitCode, 0) << verified.out.toStdString() << verified.err.toStdString();
    EXPECT_FALSE(verified.out.contains(u"differ"_s)) << verified.out.toStdString();

    const CliResult removed = klv(QStringList{u"uninstall"_s, u"--yes"_s} + products);
    EXPECT_EQ(removed.exitCode, 0) << removed.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.filePath(titles)));
    EXPECT_FALSE(QFileInfo::exists(home.filePath(generators)));
    EXPECT_FALSE(QFileInfo::exists(home.filePath(scratches)));
    EXPECT_EQ(junk(), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Archivers, WorldPackagesCliTest,
                         ::testing::Values("finder", "python", "info-zip", "7-zip", "bsdtar", "windows-cp437"),
                         [](const ::testing::TestParamInfo<const char *> &param) {
                             return QString::fromUtf8(param.param).remove(u'-').toStdString();
                         });

class WorldPackagesDamagedCliTest : public SignedInKlvTest {
protected:
    void prepareCatalog() override { serveWorld(catalog, u"damaged"_s); }
};

TEST_F(WorldPackagesDamagedCliTest, ANameStoredTwiceIsRefusedNamingItBeforeAnythingIsPlaced) {
    const CliResult result = klv({u"install"_s, u"Fixture Titles"_s});
    EXPECT_NE(result.exitCode, 0);
    const QString twice = u"Fixture Titles/Titles/KLV - Fixture Titles/Headline/Headline.moti"_s;
    EXPECT_TRUE(result.err.contains(u"would be written to “"_s + twice + u"”"_s)) << result.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.filePath(titles)));
}

} // namespace
} // namespace klv::test
