#include "install/LutInstaller.h"

#include "InstallerFixture.h"

#include <QJsonArray>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class LutInstallerTest : public test::InstallerFixture {
protected:
    // Runs the LUT step of a "new" job named Glow; true when it said it was done.
    bool installLuts(const QStringList &addresses, test::InstallerReport &report) {
        InstallationItem item = job(u"Glow"_s, {});
        item.downloadExtraInfo.insert(u"appleCustomLut"_s, QJsonArray::fromStringList(addresses));
        LutInstaller installer({*context, notAutoKillList}, item, nullptr);
        bool finished = false;
        QObject::connect(&installer, &LutInstaller::finished, &installer, [&] { finished = true; });
        report = run(installer, [&] { return finished; });
        return finished;
    }
    QString lutFolder() const { return context->locations().customLUTsFolderURL; }
    // Beside the download folder, not inside it.
    QString temporaryFolder() const { return context->locations().vantoryFolderURL + u"KLV-Download.Glow/"_s; }
};

TEST_F(LutInstallerTest, EveryValidArchiveIsUnpackedInTurnAndTheLastOneStays) {
    const QString warm = serveZip(u"luts/warm.zip"_s, {{u"Warm.cube"_s, u"warm"_s}});
    const QString cold = serveZip(u"luts/cold.zip"_s, {{u"Looks/Cold.cube"_s, u"cold"_s}});

    test::InstallerReport report;
    ASSERT_TRUE(installLuts({warm, u" "_s + cold, cold}, report));

    EXPECT_EQ(tree(lutFolder()), QStringList({u"Looks"_s, u"Looks/Cold.cube"_s, u"Warm.cube"_s}));
    EXPECT_EQ(read(lutFolder() + u"Warm.cube"_s), "warm");
    EXPECT_EQ(tree(temporaryFolder()), QStringList({u"KLV - Glow.zip"_s}));
    EXPECT_EQ(read(temporaryFolder() + u"KLV - Glow.zip"_s), read(catalog.filePath(u"files/luts/cold.zip"_s)));
    EXPECT_TRUE(logText().contains(u"“ "_s + cold + u"” of Glow is not a valid address"_s));
    // The step takes no part in the job's progress and never fails it.
    EXPECT_TRUE(report.templateProgress.isEmpty());
    EXPECT_FALSE(report.failure);
}

TEST_F(LutInstallerTest, FailuresAreLoggedAndTheRestIsStillInstalled) {
    const QString missing = store->url() + u"/files/luts/missing.zip"_s;
    const QString damaged = serve(u"luts/damaged.zip"_s, "not a zip");
    const QString hostile = serveZip(u"luts/hostile.zip"_s, {{u"../../Escaped.cube"_s, u"x"_s}});
    const QString warm = serveZip(u"luts/warm.zip"_s, {{u"Warm.cube"_s, u"warm"_s}});

    test::InstallerReport report;
    ASSERT_TRUE(installLuts({missing, damaged, hostile, warm}, report));

    EXPECT_EQ(tree(lutFolder()), QStringList({u"Warm.cube"_s}));
    EXPECT_FALSE(report.failure);
    const QString log = logText();
    EXPECT_TRUE(log.contains(missing + u" of Glow could not be downloaded"_s));
    EXPECT_TRUE(log.contains(damaged + u" of Glow could not be unpacked"_s));
    EXPECT_TRUE(log.contains(hostile + u" of Glow could not be unpacked"_s));
}

TEST_F(LutInstallerTest, NoListOrAnUnsafeJobNameInstallsNothing) {
    test::InstallerReport report;
    EXPECT_TRUE(installLuts({}, report));

    InstallationItem item = job(u"../Glow"_s, {});
    item.downloadExtraInfo.insert(u"appleCustomLut"_s,
                                  QJsonArray{serveZip(u"luts/warm.zip"_s, {{u"Warm.cube"_s, u"warm"_s}})});
    LutInstaller unsafe({*context, notAutoKillList}, item, nullptr);
    bool finished = false;
    QObject::connect(&unsafe, &LutInstaller::finished, &unsafe, [&] { finished = true; });
    unsafe.start();
    EXPECT_TRUE(finished);
    EXPECT_EQ(tree(context->locations().libraryFolderURL), QStringList());
    EXPECT_TRUE(logText().contains(u"No custom LUTs are installed for this job"_s));
}

} // namespace
} // namespace klv
