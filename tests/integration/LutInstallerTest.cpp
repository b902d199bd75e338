#include "install/LutInstaller.h"

#include "InstallerFixture.h"

#include <QJsonArray>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class LutInstallerTest : public test::InstallerFixture {
protected:
    // Runs the LUT step of a "new" job; true when it said it was done.
    bool installLuts(const QString &jobName, const QStringList &addresses, test::InstallerReport &report) {
        InstallationItem item = job(jobName, {});
        item.downloadExtraInfo.insert(u"appleCustomLut"_s, QJsonArray::fromStringList(addresses));
        LutInstaller installer({context->services(), notAutoKillList}, item, nullptr);
        bool finished = false;
        QObject::connect(&installer, &LutInstaller::sideWorkFinished, &installer, [&] { finished = true; });
        report = run(installer, [&] { return finished; });
        return finished;
    }
};

TEST_F(LutInstallerTest, ValidArchivesAreUnpackedInTurnFailuresAreLoggedAndTheLastArchiveStays) {
    const QString missing = store->url() + u"/files/missing.zip"_s;
    const QString damaged = serve(u"damaged.zip"_s, "not a zip");
    const QString hostile = serveZip(u"hostile.zip"_s, {{u"../../Escaped.cube"_s, u"x"_s}});
    const QString warm = serveZip(u"warm.zip"_s, {{u"Warm.cube"_s, u"warm"_s}});
    const QString cold = serveZip(u"cold.zip"_s, {{u"Looks/Cold.cube"_s, u"cold"_s}});

    test::InstallerReport report;
    ASSERT_TRUE(installLuts(u"Glow"_s, {warm, missing, u" "_s + warm, damaged, hostile, cold}, report));

    const QString lutFolder = context->services().locations().customLUTsFolderURL;
    EXPECT_EQ(tree(lutFolder), QStringList({u"Looks"_s, u"Looks/Cold.cube"_s, u"Warm.cube"_s}));
    EXPECT_EQ(test::readFile(lutFolder + u"Warm.cube"_s), "warm");
    // Beside the download folder, not inside it.
    const QString temporaryFolder = context->services().locations().vantoryFolderURL + u"KLV-Download.Glow/"_s;
    EXPECT_EQ(tree(temporaryFolder), QStringList({u"KLV - Glow.zip"_s}));
    EXPECT_EQ(test::readFile(temporaryFolder + u"KLV - Glow.zip"_s),
              test::readFile(catalog.filePath(u"files/cold.zip"_s)));
    const QString log = logText();
    for (const QString &address : QStringList{missing, u" "_s + warm, damaged, hostile})
        EXPECT_TRUE(log.contains(address + u"” of Glow is not a valid address"_s) ||
                    log.contains(address + u" of Glow could not be"_s))
            << address.toStdString();
    // The step takes no part in the job's progress and never fails it.
    EXPECT_TRUE(report.templateProgress.isEmpty());
    EXPECT_FALSE(report.failure);
}

TEST_F(LutInstallerTest, AnUnsafeJobNameInstallsNothing) {
    test::InstallerReport report;
    EXPECT_TRUE(installLuts(u"../Glow"_s, {serveZip(u"warm.zip"_s, {{u"Warm.cube"_s, u"warm"_s}})}, report));
    EXPECT_EQ(tree(context->services().locations().libraryFolderURL), QStringList());
    EXPECT_TRUE(logText().contains(u"No custom LUTs are installed for this job"_s));
}

} // namespace
} // namespace klv
