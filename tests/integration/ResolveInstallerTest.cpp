#include "install/ResolveInstaller.h"

#include "InstallerFixture.h"
#include "TestFiles.h"

#include <QFileInfo>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

const QDateTime installedAt = QDateTime::fromString(u"2024-05-06T07:08:09Z"_s, Qt::ISODate);

class ResolveInstallerTest : public test::InstallerFixture {
protected:
    ResolveInstallerTest() {
        clock = [] {
            return installedAt;
        };
    }
    test::InstallerReport install(const QString &name, const QString &link) {
        ResolveInstaller installer({context->services(), notAutoKillList}, job(name, link), nullptr);
        return run(installer);
    }
    QString fusionFolder() const { return context->services().locations().resolveTemplatesFolderURL; }
};

TEST_F(ResolveInstallerTest, BundleLandsDatedWithTheInstallationTimeAndTheArchiveStays) {
    const test::InstallerReport report =
        install(u"Glow"_s, serveZip(u"Glow.zip"_s, {{u"KLV - Glow.drfx"_s, u"bundle"_s}}));

    ASSERT_FALSE(report.failure) << report.failure->toStdString();
    EXPECT_EQ(report.templateProgress.constLast(), 1.0);
    EXPECT_EQ(test::readFile(fusionFolder() + u"KLV - Glow.drfx"_s), "bundle");
    EXPECT_EQ(QFileInfo(fusionFolder() + u"KLV - Glow.drfx"_s).lastModified(), installedAt);
    EXPECT_TRUE(QFileInfo::exists(context->services().locations().downloadFolderURL + u"Glow.zip"_s));

    // A bundle under another name is installed all the same, with the date it was packed with.
    EXPECT_FALSE(install(u"Haze"_s, serveZip(u"Haze.zip"_s, {{u"KLV - Haze 01.drfx"_s, u"b"_s}})).failure);
    EXPECT_EQ(QFileInfo(fusionFolder() + u"KLV - Haze 01.drfx"_s).lastModified().date(), QDate(2021, 3, 4));
    EXPECT_TRUE(logText().contains(u"KLV - Haze.drfx could not be set"_s));
}

TEST_F(ResolveInstallerTest, OnlyAnIntactZipArchiveIsAccepted) {
    const test::InstallerReport picture = install(u"Glow"_s, serve(u"Glow.png"_s, "picture"));
    const test::InstallerReport damaged = install(u"Glow"_s, serve(u"Glow.zip"_s, "not a zip"));
    for (const test::InstallerReport &report : {picture, damaged}) {
        EXPECT_TRUE(report.failure);
        EXPECT_FALSE(report.templateProgress.contains(1.0));
    }
    EXPECT_TRUE(logText().contains(u"Don't know what mime type is this image/png"_s));
    EXPECT_EQ(tree(fusionFolder()), QStringList());
}

TEST_F(ResolveInstallerTest, AnUpdatedBundleReplacesTheOldOneOnlyWhenTheJobIsKept) {
    const QString link = serveZip(u"Glow.zip"_s, {{u"KLV - Glow.drfx"_s, u"new"_s}});
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        ASSERT_TRUE(test::writeFile(fusionFolder() + u"KLV - Glow.drfx"_s, "old"));

        ResolveInstaller installer({context->services(), notAutoKillList}, job(u"Glow"_s, link), nullptr);
        ASSERT_FALSE(run(installer).failure);
        EXPECT_EQ(test::readFile(fusionFolder() + u"KLV - Glow.drfx"_s), "new");
        if (keep) {
            installer.commit();
            EXPECT_TRUE(test::waitUntil([&] { return tree(fusionFolder()) == QStringList{u"KLV - Glow.drfx"_s}; }));
        } else {
            // Another part of the job failed.
            installer.cancel();
            ASSERT_TRUE(test::waitUntil([&] { return installer.isStopped(); }));
            EXPECT_EQ(test::readFile(fusionFolder() + u"KLV - Glow.drfx"_s), "old");
            EXPECT_EQ(tree(fusionFolder()), QStringList{u"KLV - Glow.drfx"_s});
        }
    }
}

} // namespace
} // namespace klv
