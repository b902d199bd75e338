#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

class LibraryCliTest : public SignedInKlvTest {
protected:
    LibraryCliTest()
        : SignedInKlvTest(fixtureFolder(u"library"_s)) {}

    QJsonArray listJson(const QStringList &options = {}) const {
        const CliResult result = klv(QStringList{u"list"_s, u"--json"_s} + options);
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        return QJsonDocument::fromJson(result.out.toUtf8())[u"products"].toArray();
    }
    static QStringList names(const QJsonArray &rows) {
        QStringList result;
        for (const QJsonValue &row : rows)
            result << row[u"fullName"].toString();
        return result;
    }
    int libraryDownloads() const { return requestsOf(u"secureCustomerProduct"_s); }
    QString movies(const QString &relative) const { return home.filePath(u"Videos/" + relative); }
    QString cacheFile() const {
        return home.filePath(
            u".local/share/klv-app/Group Containers/group.com.vantory.klvapp/KLVApp_MyProductCache.bin"_s);
    }
};

TEST_F(LibraryCliTest, DownloadsOnceSortedAndOnlyAgainWhenTheCommitChanges) {
    const CliResult first = klv({u"refresh"_s});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_TRUE(first.out.startsWith(u"Library downloaded (commit fixture-1)."));

    const QJsonArray rows = listJson();
    const QStringList shown = names(rows);
    EXPECT_EQ(shown,
              (QStringList{u"Café Transitions"_s, u"Cinematic DVR 3"_s, u"Dust Composite"_s, u"Echo Pack"_s,
                           u"Echo Pack"_s, u"Film Burn Composite"_s, u"Glow Pack - Full Version"_s, u"Starter Bundle"_s,
                           u"Twin Titles"_s, u"Zeta Bundle"_s, u"aurora Glow"_s, u"Élan Titles"_s}))
        << shown.join(u" | ").toStdString();
    const QJsonObject bundle = rows[shown.indexOf(u"Starter Bundle"_s)].toObject();
    EXPECT_EQ(names(bundle[u"members"].toArray()), (QStringList{u"Alpha Titles"_s, u"Beta Transitions"_s}));
    EXPECT_EQ(bundle.keys(),
              (QStringList{u"appleSiliconNative"_s, u"application"_s, u"fullName"_s, u"group"_s, u"installed"_s,
                           u"kinds"_s, u"members"_s, u"name"_s, u"number"_s, u"sizeBytes"_s, u"updateAvailable"_s}))
        << "the client's own field names, not the store's";

    const CliResult second = klv({u"refresh"_s});
    EXPECT_TRUE(second.out.startsWith(u"Library unchanged (commit fixture-1).\nNo changes; 15 products."))
        << second.out.toStdString();
    EXPECT_EQ(libraryDownloads(), 1);

    editCatalog([](QJsonObject &root) { root[u"commitID"] = u"fixture-2"_s; });
    EXPECT_TRUE(klv({u"refresh"_s}).out.startsWith(u"Library downloaded (commit fixture-2)."));
    EXPECT_EQ(libraryDownloads(), 2);

    EXPECT_EQ(klv({u"clear-cache"_s}).exitCode, 0);
    EXPECT_EQ(libraryDownloads(), 3) << "clearing the caches forces a download";
}

TEST_F(LibraryCliTest, InstalledStatesFollowTheFoldersGroupsIncluded) {
    QDir().mkpath(movies(u"Motion Templates.localized/Titles.localized/KLV - Alpha Titles"_s));
    QDir().mkpath(movies(u"Motion Templates.localized/Transitions.localized/Vantory - Beta Transitions"_s));
    QDir().mkpath(movies(u"Motion Templates.localized/Effects.localized/KLV - Glow Pack"_s));
    QDir().mkpath(movies(u"KLV Composite/Dust Composite"_s));
    const QString resolve = home.filePath(u".local/share/DaVinciResolve/Fusion/Templates/"_s);
    QDir().mkpath(resolve);
    QFile(resolve + u"KLV - Cinematic  03.drfx").open(QIODevice::WriteOnly);

    const CliResult refresh = klv({u"refresh"_s});
    EXPECT_TRUE(refresh.out.contains(u"  + Starter Bundle (installed)")) << refresh.out.toStdString();
    EXPECT_EQ(
        names(listJson({u"--filter"_s, u"installed"_s})),
        (QStringList{u"Cinematic DVR 3"_s, u"Dust Composite"_s, u"Glow Pack - Full Version"_s, u"Starter Bundle"_s}));
    EXPECT_EQ(names(listJson({u"--filter"_s, u"updates"_s})), QStringList{}) << "installed today, released long ago";

    QDir(movies(u"Motion Templates.localized/Transitions.localized/Vantory - Beta Transitions"_s)).removeRecursively();
    const CliResult again = klv({u"refresh"_s});
    EXPECT_TRUE(again.out.contains(u"  ~ Starter Bundle: installed -> not installed")) << again.out.toStdString();
    EXPECT_TRUE(again.out.contains(u"  ~ Beta Transitions: installed -> not installed"));

    // A release after the folder was made flags the product.
    editCatalog([](QJsonObject &root) {
        QJsonArray products = root[u"products"].toArray();
        for (QJsonValueRef product : products) {
            QJsonObject object = product.toObject();
            if (object[u"product_name"] == u"Glow Pack - Full Version"_s)
                object[u"lastest"] = u"2999.01.01"_s;
            product = object;
        }
        root[u"products"] = products;
        root[u"commitID"] = u"fixture-3"_s;
    });
    const CliResult updated = klv({u"refresh"_s});
    EXPECT_TRUE(updated.out.contains(u"Glow Pack - Full Version: installed -> installed, update available"))
        << updated.out.toStdString();
    EXPECT_EQ(names(listJson({u"--filter"_s, u"updates"_s, u"--search"_s, u"GLOW,zzz"_s})),
              QStringList{u"Glow Pack - Full Version"_s});
}

TEST_F(LibraryCliTest, TheCacheShowsTheLastKnownLibraryWhenTheStoreIsAway) {
    QDir().mkpath(movies(u"Motion Templates.localized/Titles.localized/KLV - Twin Titles"_s));
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    ASSERT_TRUE(store.stop());

    const CliResult offline = klv({u"list"_s, u"--filter"_s, u"installed"_s});
    EXPECT_EQ(offline.exitCode, 0);
    EXPECT_TRUE(offline.err.split(u'\n').contains(u"Showing the library as last known."))
        << "a line of its own, not run on from the store's message: " << offline.err.toStdString();
    EXPECT_TRUE(offline.out.startsWith(u"   730  Twin Titles  (Titles)"))
        << "with its number" << offline.out.toStdString();
    EXPECT_TRUE(offline.out.contains(u"[installed]"));
    EXPECT_EQ(klv({u"refresh"_s}).exitCode, 3);
}

TEST_F(LibraryCliTest, AGarbledCacheCountsAsNoneAndIsReplaced) {
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    QFile cache(cacheFile());
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cache.write("{\"not\": \"an array\"");
    cache.close();
    ASSERT_TRUE(klv({u"clear-cache"_s}).exitCode == 0);
    ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(cache.readAll()).array().size(), 15);
}

class BadLibraryAnswerTest : public LibraryCliTest {};

TEST_F(BadLibraryAnswerTest, AProductWithoutANameIsReportedAndTheRestLoads) {
    ASSERT_EQ(signInAs(u"noname"_s).exitCode, 0);
    const CliResult result = klv({u"refresh"_s});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains(u"Alert: KLVApp_Error: No product name? Error while get customer product info. "
                                    u"Please contact us to resolve this problem {"))
        << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(u"  + Alpha Titles (not installed)")) << result.out.toStdString();
    EXPECT_TRUE(listJson().isEmpty()) << "a member whose group is not owned is never a top-level row";
}

TEST_F(BadLibraryAnswerTest, MissingOrWrongDataGivesAnEmptyLibrary) {
    for (const QString &user : {u"nodata"_s, u"textdata"_s}) {
        ASSERT_EQ(signInAs(user).exitCode, 0);
        EXPECT_EQ(klv({u"clear-cache"_s}).exitCode, 0) << user.toStdString();
        EXPECT_TRUE(listJson().isEmpty()) << user.toStdString();
        QFile cache(cacheFile());
        ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
        EXPECT_EQ(cache.readAll(), "[]");
    }
}

TEST_F(BadLibraryAnswerTest, RefusalsAndUnreadableAnswersKeepTheLibrary) {
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    ASSERT_EQ(signInAs(u"refused"_s).exitCode, 0);
    EXPECT_EQ(klv({u"clear-cache"_s}).exitCode, 1);
    ASSERT_EQ(signInAs(u"garbled"_s).exitCode, 0);
    EXPECT_EQ(klv({u"refresh"_s}).exitCode, 3);
}

} // namespace
} // namespace klv::test
