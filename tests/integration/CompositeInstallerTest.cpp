#include "install/CompositeInstaller.h"

#include "InstallerFixture.h"

#include <httplib.h>

#include <QDir>
#include <QFileInfo>

#include <thread>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class CompositeInstallerTest : public test::InstallerFixture {
protected:
    test::InstallerReport install(const QString &name, const QString &link) {
        CompositeInstaller installer({*context, notAutoKillList}, job(name, link), nullptr);
        return run(installer);
    }
    QString compositeFolder() const { return context->locations().compositeFolderURL; }
    QString downloadFolder() const { return context->locations().downloadFolderURL; }
};

TEST_F(CompositeInstallerTest, ZipIsUnpackedIntoTheCompositeFolderWithoutResourceForksOrLeftovers) {
    const QString link = serveZip(u"composites/Neon.zip"_s,
                                  {{u"Neon/clip.mov"_s, u"frames"_s}, {u"__MACOSX/Neon/._clip.mov"_s, u"fork"_s}});
    const qint64 size = QFileInfo(catalog.filePath(u"files/composites/Neon.zip"_s)).size();

    const test::InstallerReport report = install(u"Neon"_s, link);

    ASSERT_FALSE(report.failure) << report.failure->toStdString();
    EXPECT_EQ(tree(compositeFolder()), QStringList({u"Neon"_s, u"Neon/clip.mov"_s}));
    EXPECT_EQ(read(compositeFolder() + u"/Neon/clip.mov"_s), "frames");
    // The download fills at most 95 %; only the finished installation reports 1.0.
    EXPECT_EQ(report.templateProgress.constLast(), 1.0);
    EXPECT_EQ(report.templateProgress.count(1.0), 1);
    EXPECT_LE(*std::max_element(report.templateProgress.cbegin(), report.templateProgress.cend() - 1), 0.95);
    EXPECT_EQ(report.steps.constLast(), u" - %1/%1"_s.arg(size));
    EXPECT_EQ(tree(downloadFolder()), QStringList());
}

TEST_F(CompositeInstallerTest, OnlyATypeNamingMovIsInstalledAsAMovie) {
    // klv-store types movies video/quicktime, which names no "mov"; this server sends what a test asks.
    httplib::Server server;
    server.Get("/(.*)", [](const httplib::Request &request, httplib::Response &response) {
        response.set_content("movie bytes", request.matches[1].str());
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    const QString base = u"http://127.0.0.1:%1/"_s.arg(port);

    const test::InstallerReport movie = install(u"Glow"_s, base + u"video/x-mov"_s);
    const test::InstallerReport quicktime = install(u"Haze"_s, serve(u"Haze.mov"_s, "movie bytes"));
    const test::InstallerReport untyped = install(u"Dust"_s, base + u"text/plain"_s);
    server.stop();
    serving.join();

    EXPECT_FALSE(movie.failure);
    EXPECT_EQ(read(compositeFolder() + u"/Glow.mov"_s), "movie bytes");
    ASSERT_TRUE(quicktime.failure);
    ASSERT_TRUE(untyped.failure);
    EXPECT_TRUE(logText().contains(u"Don't know what mime type is this video/quicktime"_s));
    EXPECT_TRUE(logText().contains(u"Don't know what mime type is this text/plain"_s));
    EXPECT_EQ(tree(compositeFolder()), QStringList({u"Glow.mov"_s}));
    EXPECT_EQ(tree(downloadFolder()), QStringList());
}

TEST_F(CompositeInstallerTest, BadLinksNamesAndPackagesFailClearlyAndInstallNothing) {
    const QString good = serveZip(u"Neon.zip"_s, {{u"Neon/a.txt"_s, u"a"_s}});
    const QString hostile = serveZip(u"Evil.zip"_s, {{u"Evil/a.txt"_s, u"a"_s}, {u"../escaped.txt"_s, u"x"_s}});
    const QString damaged = serve(u"Broken.zip"_s, "PK\x03\x04 not really a zip");
    const std::pair<QString, QString> cases[] = {
        {u"Neon"_s, u" "_s + good}, {u"Neon"_s, good + u"."_s},
        {u"Neon"_s, u"Neon.zip"_s}, {u"Neon"_s, store->url() + u"/files/Missing.zip"_s},
        {u"Evil"_s, hostile},       {u"Broken"_s, damaged},
        {u"../Neon"_s, good},       {u".."_s, good},
    };
    for (const auto &[name, link] : cases) {
        const test::InstallerReport report = install(name, link);
        EXPECT_TRUE(report.failure && !report.failure->isEmpty()) << link.toStdString();
        EXPECT_FALSE(report.templateProgress.contains(1.0)) << link.toStdString();
    }
    EXPECT_TRUE(logText().contains(u"In valid Composite url Neon"_s));
    EXPECT_EQ(tree(compositeFolder()), QStringList());
    EXPECT_FALSE(QFileInfo::exists(context->locations().moviesFolderURL + u"escaped.txt"_s));
    EXPECT_EQ(tree(downloadFolder()), QStringList());
}

} // namespace
} // namespace klv
