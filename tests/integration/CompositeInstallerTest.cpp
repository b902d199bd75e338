#include "install/CompositeInstaller.h"

#include "InstallerFixture.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QThreadPool>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class CompositeInstallerTest : public test::InstallerFixture {
protected:
    test::InstallerReport install(const QString &name, const QString &link) {
        CompositeInstaller installer({context->services(), notAutoKillList}, job(name, link), nullptr);
        const test::InstallerReport report = run(installer);
        // As the engine ends a job that went well; what it keeps is settled before the test looks.
        if (!report.failure) {
            installer.commit();
            QThreadPool::globalInstance()->waitForDone();
        }
        return report;
    }
    QString compositeFolder() const { return context->services().locations().compositeFolderURL; }
    QString downloadFolder() const { return context->services().locations().downloadFolderURL; }
};

TEST_F(CompositeInstallerTest, ZipIsUnpackedIntoTheCompositeFolderWithoutResourceForksOrLeftovers) {
    const QString link = serveZip(u"composites/Neon.zip"_s,
                                  {{u"Neon/clip.mov"_s, u"frames"_s}, {u"__MACOSX/Neon/._clip.mov"_s, u"fork"_s}});
    const qint64 size = QFileInfo(catalog.filePath(u"files/composites/Neon.zip"_s)).size();

    const test::InstallerReport report = install(u"Neon"_s, link);

    ASSERT_FALSE(report.failure) << report.failure->toStdString();
    EXPECT_EQ(tree(compositeFolder()), QStringList({u"Neon"_s, u"Neon/clip.mov"_s}));
    EXPECT_EQ(test::readFile(compositeFolder() + u"/Neon/clip.mov"_s), "frames");
    // The download fills at most 95 %; only the finished installation reports 1.0.
    EXPECT_EQ(report.templateProgress.constLast(), 1.0);
    EXPECT_EQ(report.templateProgress.count(1.0), 1);
    EXPECT_LE(*std::max_element(report.templateProgress.cbegin(), report.templateProgress.cend() - 1), 0.95);
    EXPECT_EQ(report.steps.constLast(), u" - %1/%1"_s.arg(size));
    EXPECT_EQ(tree(downloadFolder()), QStringList());
}

TEST_F(CompositeInstallerTest, OnlyATypeNamingMovIsInstalledAsAMovie) {
    // klv-store types .mov files "video/mov"; faults give the others their types.
    const auto typed = [](const QString &file, const QString &type) {
        return QJsonObject{
            {u"path"_s, QString(u"/files/"_s + file)}, {u"kind"_s, u"contentType"_s}, {u"contentType"_s, type}};
    };
    writeCatalog({}, {typed(u"Haze.mov"_s, u"video/quicktime"_s), typed(u"Dust.mov"_s, u"text/plain"_s)});

    const test::InstallerReport movie = install(u"Glow"_s, serve(u"Glow.mov"_s, "movie bytes"));
    const test::InstallerReport quicktime = install(u"Haze"_s, serve(u"Haze.mov"_s, "movie bytes"));
    const test::InstallerReport untyped = install(u"Dust"_s, serve(u"Dust.mov"_s, "movie bytes"));

    EXPECT_FALSE(movie.failure);
    EXPECT_EQ(test::readFile(compositeFolder() + u"/Glow.mov"_s), "movie bytes");
    EXPECT_TRUE(quicktime.failure);
    EXPECT_TRUE(untyped.failure);
    EXPECT_TRUE(logText().contains(u"Don't know what mime type is this video/quicktime"_s));
    EXPECT_TRUE(logText().contains(u"Don't know what mime type is this text/plain"_s));
    EXPECT_EQ(tree(compositeFolder()), QStringList({u"Glow.mov"_s}));
    EXPECT_EQ(tree(downloadFolder()), QStringList());
}

TEST_F(CompositeInstallerTest, BadLinksNamesAndPackagesFailClearlyAndInstallNothing) {
    const QString good = serveZip(u"Neon.zip"_s, {{u"Neon/a.txt"_s, u"a"_s}});
    const QString hostile = serveZip(u"Evil.zip"_s, {{u"Evil/a.txt"_s, u"a"_s}, {u"../escaped.txt"_s, u"x"_s}});
    const QString damaged = serve(u"Broken.zip"_s, "PK\x03\x04 not really a zip");
    const QString truncated = serveZip(u"Short.zip"_s, {{u"Short/a.txt"_s, u"a"_s}});
    writeCatalog({}, {QJsonObject{{u"path"_s, u"/files/Short.zip"_s}, {u"kind"_s, u"truncate"_s}, {u"bytes"_s, 20}}});
    const std::pair<QString, QString> cases[] = {
        {u"Neon"_s, u" "_s + good},
        {u"Neon"_s, good + u"."_s},
        {u"Neon"_s, u"Neon.zip"_s},
        {u"Neon"_s, store->url() + u"/files/Missing.zip"_s},
        {u"Evil"_s, hostile},
        {u"Broken"_s, damaged},
        {u"Short"_s, truncated},
        {u"../Neon"_s, good},
        {u".."_s, good},
    };
    for (const auto &[name, link] : cases) {
        const test::InstallerReport report = install(name, link);
        EXPECT_TRUE(report.failure && !report.failure->isEmpty()) << link.toStdString();
        EXPECT_FALSE(report.templateProgress.contains(1.0)) << link.toStdString();
    }
    EXPECT_TRUE(logText().contains(u"In valid Composite url Neon"_s));
    EXPECT_EQ(tree(compositeFolder()), QStringList());
    EXPECT_FALSE(QFileInfo::exists(context->services().locations().moviesFolderURL + u"escaped.txt"_s));
    EXPECT_EQ(tree(downloadFolder()), (QStringList{u"Short#composite.partial"_s, u"Short#composite.partial.json"_s}))
        << "only the cut download stays, to be continued";
}

} // namespace
} // namespace klv
