#include "install/ResolveInstaller.h"

#include "InstallerFixture.h"

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
        ResolveInstaller installer({*context, notAutoKillList}, job(name, link), nullptr);
        return run(installer);
    }
    QString fusionFolder() const { return context->locations().resolveTemplatesFolderURL; }
};

TEST_F(ResolveInstallerTest, BundleLandsInTheFusionFolderDatedWithTheInstallationTime) {
    const QString link = serveZip(u"dvr/Glow.zip"_s, {{u"KLV - Glow.drfx"_s, u"bundle"_s}});

    const test::InstallerReport report = install(u"Glow"_s, link);

    ASSERT_FALSE(report.failure) << report.failure->toStdString();
    EXPECT_EQ(report.templateProgress.constLast(), 1.0);
    const QFileInfo bundle(fusionFolder() + u"KLV - Glow.drfx"_s);
    EXPECT_EQ(read(bundle.filePath()), "bundle");
    EXPECT_EQ(bundle.lastModified(), installedAt);
    // The package stays in the download folder.
    EXPECT_TRUE(QFileInfo::exists(context->locations().downloadFolderURL + u"Glow.zip"_s));
}

TEST_F(ResolveInstallerTest, BundleUnderAnotherNameIsInstalledUndatedAndTheLogSaysSo) {
    const QString link = serveZip(u"dvr/Glow.zip"_s, {{u"KLV - Glow 01.drfx"_s, u"bundle"_s}});

    const test::InstallerReport report = install(u"Glow"_s, link);

    EXPECT_FALSE(report.failure);
    const QFileInfo bundle(fusionFolder() + u"KLV - Glow 01.drfx"_s);
    EXPECT_EQ(bundle.lastModified().date(), QDate(2021, 3, 4));
    EXPECT_TRUE(logText().contains(u"KLV - Glow.drfx could not be set"_s));
}

TEST_F(ResolveInstallerTest, OnlyAnIntactZipArchiveIsAccepted) {
    const test::InstallerReport picture = install(u"Glow"_s, serve(u"Glow.png"_s, "picture"));
    const test::InstallerReport damaged = install(u"Glow"_s, serve(u"Glow.zip"_s, "not a zip"));
    const test::InstallerReport missing = install(u"Glow"_s, store->url() + u"/files/none.zip"_s);
    const test::InstallerReport invalid = install(u"Glow"_s, u"ftp://example.com/Glow.zip"_s);

    for (const test::InstallerReport &report : {picture, damaged, missing, invalid}) {
        EXPECT_TRUE(report.failure);
        EXPECT_FALSE(report.templateProgress.contains(1.0));
    }
    EXPECT_TRUE(logText().contains(u"Don't know what mime type is this image/png"_s));
    EXPECT_EQ(tree(fusionFolder()), QStringList());
}

} // namespace
} // namespace klv
