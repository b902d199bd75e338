#include "CliRun.h"
#include "SandboxHome.h"
#include "StoreProcess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryDir>

namespace klv::test {
namespace {

class LibraryCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        copyFolder(QStringLiteral(KLV_FIXTURES_DIR "/library"), catalog.path());
        ASSERT_TRUE(store.start()) << store.errorString().toStdString();
        ASSERT_EQ(
            klv({QStringLiteral("login"), QStringLiteral("tester"), QStringLiteral("--password-stdin")}, "secret\n")
                .exitCode,
            0);
    }

    CliResult klv(const QStringList &arguments, const QByteArray &input = {}) const {
        QProcessEnvironment environment = home.environment();
        environment.insert(QStringLiteral("KLV_STORE_URL"), store.url());
        return runKlv(arguments, environment, input);
    }
    QJsonArray listJson(const QStringList &options = {}) const {
        const CliResult result = klv(QStringList{QStringLiteral("list"), QStringLiteral("--json")} + options);
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        return QJsonDocument::fromJson(result.out.toUtf8())[u"products"].toArray();
    }
    static QStringList names(const QJsonArray &rows) {
        QStringList result;
        for (const QJsonValue &row : rows)
            result << row[u"fullName"].toString();
        return result;
    }
    int libraryDownloads() const {
        int count = 0;
        for (const QJsonObject &request : store.requestLog())
            count += request.value(u"rt").toString() == u"secureCustomerProduct" ? 1 : 0;
        return count;
    }
    void editCatalog(const std::function<void(QJsonObject &)> &edit) const {
        const QString path = catalog.filePath(QStringLiteral("store.json"));
        QFile in(path);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QJsonObject root = QJsonDocument::fromJson(in.readAll()).object();
        edit(root);
        QSaveFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(root).toJson());
        ASSERT_TRUE(out.commit());
    }
    QString movies(const QString &relative) const { return home.filePath(u"Videos/" + relative); }
    QString cacheFile() const {
        return home.filePath(
            QStringLiteral(".local/share/klv-app/Group Containers/group.com.vantory.klvapp/KLVApp_MyProductCache.bin"));
    }

    SandboxHome home;
    QTemporaryDir catalog;
    StoreProcess store{catalog.path()};
};

TEST_F(LibraryCliTest, DownloadsOnceSortedAndOnlyAgainWhenTheCommitChanges) {
    const CliResult first = klv({QStringLiteral("refresh")});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_TRUE(first.out.startsWith(u"Library downloaded (commit fixture-1)."));

    const QJsonArray rows = listJson();
    const QStringList shown = names(rows);
    EXPECT_EQ(shown, (QStringList{u"Café Transitions"_qs, u"Cinematic DVR 3"_qs, u"Dust Composite"_qs, u"Echo Pack"_qs,
                                  u"Echo Pack"_qs, u"Film Burn Composite"_qs, u"Glow Pack - Full Version"_qs,
                                  u"Starter Bundle"_qs, u"Twin Titles"_qs, u"Zeta Bundle"_qs, u"aurora Glow"_qs,
                                  u"Élan Titles"_qs}))
        << shown.join(u" | ").toStdString();
    const QJsonObject bundle = rows[shown.indexOf(u"Starter Bundle"_qs)].toObject();
    EXPECT_EQ(names(bundle[u"members"].toArray()), (QStringList{u"Alpha Titles"_qs, u"Beta Transitions"_qs}));
    EXPECT_EQ(bundle.keys(), (QStringList{u"appleSiliconNative"_qs, u"application"_qs, u"fullName"_qs, u"group"_qs,
                                          u"installed"_qs, u"kinds"_qs, u"members"_qs, u"name"_qs, u"number"_qs,
                                          u"sizeBytes"_qs, u"updateAvailable"_qs}))
        << "the client's own field names, not the store's";

    const CliResult second = klv({QStringLiteral("refresh")});
    EXPECT_TRUE(second.out.startsWith(u"Library unchanged (commit fixture-1).\nNo changes; 15 products."))
        << second.out.toStdString();
    EXPECT_EQ(libraryDownloads(), 1);

    editCatalog([](QJsonObject &root) { root[u"commitID"] = u"fixture-2"_qs; });
    EXPECT_TRUE(klv({QStringLiteral("refresh")}).out.startsWith(u"Library downloaded (commit fixture-2)."));
    EXPECT_EQ(libraryDownloads(), 2);

    EXPECT_EQ(klv({QStringLiteral("clear-cache")}).exitCode, 0);
    EXPECT_EQ(libraryDownloads(), 3) << "clearing the caches forces a download";
}

TEST_F(LibraryCliTest, InstalledStatesFollowTheFoldersGroupsIncluded) {
    QDir().mkpath(movies(u"Motion Templates.localized/Titles.localized/KLV - Alpha Titles"_qs));
    QDir().mkpath(movies(u"Motion Templates.localized/Transitions.localized/Vantory - Beta Transitions"_qs));
    QDir().mkpath(movies(u"Motion Templates.localized/Effects.localized/KLV - Glow Pack"_qs));
    QDir().mkpath(movies(u"KLV Composite/Dust Composite"_qs));
    const QString resolve = home.filePath(QStringLiteral(".local/share/DaVinciResolve/Fusion/Templates/"));
    QDir().mkpath(resolve);
    QFile(resolve + u"KLV - Cinematic  03.drfx").open(QIODevice::WriteOnly);

    const CliResult refresh = klv({QStringLiteral("refresh")});
    EXPECT_TRUE(refresh.out.contains(u"  + Starter Bundle (installed)")) << refresh.out.toStdString();
    EXPECT_EQ(names(listJson({QStringLiteral("--filter"), QStringLiteral("installed")})),
              (QStringList{u"Cinematic DVR 3"_qs, u"Dust Composite"_qs, u"Glow Pack - Full Version"_qs,
                           u"Starter Bundle"_qs}));
    EXPECT_EQ(names(listJson({QStringLiteral("--filter"), QStringLiteral("updates")})), QStringList{})
        << "installed today, released long ago";

    QDir(movies(u"Motion Templates.localized/Transitions.localized/Vantory - Beta Transitions"_qs)).removeRecursively();
    const CliResult again = klv({QStringLiteral("refresh")});
    EXPECT_TRUE(again.out.contains(u"  ~ Starter Bundle: installed -> not installed")) << again.out.toStdString();
    EXPECT_TRUE(again.out.contains(u"  ~ Beta Transitions: installed -> not installed"));

    // A release after the folder was made flags the product.
    editCatalog([](QJsonObject &root) {
        QJsonArray products = root[u"products"].toArray();
        for (QJsonValueRef product : products) {
            QJsonObject object = product.toObject();
            if (object[u"product_name"] == u"Glow Pack - Full Version"_qs)
                object[u"lastest"] = u"2999.01.01"_qs;
            product = object;
        }
        root[u"products"] = products;
        root[u"commitID"] = u"fixture-3"_qs;
    });
    const CliResult updated = klv({QStringLiteral("refresh")});
    EXPECT_TRUE(updated.out.contains(u"Glow Pack - Full Version: installed -> installed, update available"))
        << updated.out.toStdString();
    EXPECT_EQ(names(listJson({QStringLiteral("--filter"), QStringLiteral("updates"), QStringLiteral("--search"),
                              QStringLiteral("GLOW,zzz")})),
              QStringList{u"Glow Pack - Full Version"_qs});
}

TEST_F(LibraryCliTest, TheCacheShowsTheLastKnownLibraryWhenTheStoreIsAway) {
    QDir().mkpath(movies(u"Motion Templates.localized/Titles.localized/KLV - Twin Titles"_qs));
    ASSERT_EQ(klv({QStringLiteral("refresh")}).exitCode, 0);
    ASSERT_TRUE(store.stop());

    const CliResult offline = klv({QStringLiteral("list"), QStringLiteral("--filter"), QStringLiteral("installed")});
    EXPECT_EQ(offline.exitCode, 0);
    EXPECT_TRUE(offline.err.split(u'\n').contains(u"Showing the library as last known."))
        << "a line of its own, not run on from the store's message: " << offline.err.toStdString();
    EXPECT_TRUE(offline.out.startsWith(u"   730  Twin Titles  (Titles)"))
        << "with its number" << offline.out.toStdString();
    EXPECT_TRUE(offline.out.contains(u"[installed]"));
    EXPECT_EQ(klv({QStringLiteral("refresh")}).exitCode, 3);
}

TEST_F(LibraryCliTest, AGarbledCacheCountsAsNoneAndIsReplaced) {
    ASSERT_EQ(klv({QStringLiteral("refresh")}).exitCode, 0);
    QFile cache(cacheFile());
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cache.write("{\"not\": \"an array\"");
    cache.close();
    ASSERT_TRUE(klv({QStringLiteral("clear-cache")}).exitCode == 0);
    ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(cache.readAll()).array().size(), 15);
}

class BadLibraryAnswerTest : public LibraryCliTest {
protected:
    void signInAs(const QString &user) {
        ASSERT_EQ(klv({QStringLiteral("login"), user, QStringLiteral("--password-stdin")}, "secret\n").exitCode, 0);
    }
};

TEST_F(BadLibraryAnswerTest, AProductWithoutANameIsReportedAndTheRestLoads) {
    signInAs(QStringLiteral("noname"));
    const CliResult result = klv({QStringLiteral("refresh")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains(u"Alert: KLVApp_Error: No product name? Error while get customer product info. "
                                    u"Please contact us to resolve this problem {"))
        << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(u"  + Alpha Titles (not installed)")) << result.out.toStdString();
    EXPECT_TRUE(listJson().isEmpty()) << "a member whose group is not owned is never a top-level row";
}

TEST_F(BadLibraryAnswerTest, MissingOrWrongDataGivesAnEmptyLibrary) {
    for (const QString &user : {QStringLiteral("nodata"), QStringLiteral("textdata")}) {
        signInAs(user);
        EXPECT_EQ(klv({QStringLiteral("clear-cache")}).exitCode, 0) << user.toStdString();
        EXPECT_TRUE(listJson().isEmpty()) << user.toStdString();
        QFile cache(cacheFile());
        ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
        EXPECT_EQ(cache.readAll(), "[]");
    }
}

TEST_F(BadLibraryAnswerTest, RefusalsAndUnreadableAnswersKeepTheLibrary) {
    ASSERT_EQ(klv({QStringLiteral("refresh")}).exitCode, 0);
    signInAs(QStringLiteral("refused"));
    EXPECT_EQ(klv({QStringLiteral("clear-cache")}).exitCode, 1);
    signInAs(QStringLiteral("garbled"));
    EXPECT_EQ(klv({QStringLiteral("refresh")}).exitCode, 3);
}

} // namespace
} // namespace klv::test
