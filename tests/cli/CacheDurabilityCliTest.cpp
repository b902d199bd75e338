#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <unistd.h>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

bool run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A small tmpfs over a folder for as long as the object lives; read-only when asked.
class SmallDisk final {
public:
    explicit SmallDisk(const QString &folder, const QString &options = u"size=256k"_s)
        : m_folder(folder) {
        m_mounted = ::geteuid() == 0 && QDir().mkpath(folder) &&
                    run(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, options, u"tmpfs"_s, folder});
    }
    ~SmallDisk() {
        if (m_mounted)
            run(u"umount"_s, {m_folder});
    }
    Q_DISABLE_COPY_MOVE(SmallDisk)

    bool mounted() const { return m_mounted; }
    // Writes a filler file until the disk takes no more.
    void fill() const {
        QFile filler(m_folder + u"/filler"_s);
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    void release() const { QFile::remove(m_folder + u"/filler"_s); }

private:
    QString m_folder;
    bool m_mounted = false;
};

class CacheDurabilityCliTest : public SignedInKlvTest {
protected:
    CacheDurabilityCliTest()
        : SignedInKlvTest(fixtureFolder(u"library"_s)) {}

    QStringList listedNames() const {
        const CliResult result = klv({u"list"_s, u"--json"_s});
        QStringList names;
        for (const QJsonValue &row : QJsonDocument::fromJson(result.out.toUtf8())[u"products"].toArray())
            names << row[u"fullName"].toString();
        return names;
    }
    int libraryDownloads() const { return requestsOf(u"secureCustomerProduct"_s); }
    void setCommit(const QString &commit) const {
        editCatalog([&commit](QJsonObject &root) { root[u"commitID"] = commit; });
    }
    QString storedCommit() const {
        return QSettings(home.filePath(u".config/com.vantory.klvapp.conf"_s), QSettings::IniFormat)
            .value(u"commitID"_s)
            .toString();
    }
    QString container() const {
        return home.filePath(u".local/share/klv-app/Group Containers/group.com.vantory.klvapp"_s);
    }
    QString cacheFile() const { return container() + u"/KLVApp_MyProductCache.bin"_s; }
    QString mapFile() const { return container() + u"/KLVApp_UserData_IM.bin"_s; }
    void expectSignInNotRemembered() const {
        const CliResult login = klv({u"login"_s, u"noname"_s, u"--password-stdin"_s}, "secret\n");
        EXPECT_EQ(login.out, u"Signed in as Nameless Product <noname@klv.example>\n"_s);
        EXPECT_TRUE(login.err.startsWith(u"The sign-in could not be remembered for the next start: "_s))
            << login.err.toStdString();
        EXPECT_EQ(klv({u"whoami"_s}).out, u"signed out\n"_s);
    }
};

TEST_F(CacheDurabilityCliTest, AFullDiskKeepsTheOldCacheAndItsCommitAndSaysSo) {
    const SmallDisk disk(container());
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root and a mount-capable system";
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    const QByteArray cached = readFile(cacheFile());
    ASSERT_EQ(QJsonDocument::fromJson(cached).array().size(), 15);
    ASSERT_EQ(storedCommit(), u"fixture-1"_s);

    disk.fill();
    setCommit(u"fixture-2"_s);
    const CliResult full = klv({u"refresh"_s});
    EXPECT_EQ(full.exitCode, 0) << "the library was had, only not kept";
    EXPECT_TRUE(full.out.startsWith(u"Library downloaded (commit fixture-2)."_s)) << full.out.toStdString();
    EXPECT_TRUE(full.err.contains(u"The library could not be stored: "_s)) << full.err.toStdString();
    EXPECT_EQ(readFile(cacheFile()), cached);
    EXPECT_EQ(storedCommit(), u"fixture-1"_s) << "a commit number never goes ahead of its cache";
    EXPECT_EQ(listedNames().size(), 12);

    disk.release();
    const CliResult freed = klv({u"refresh"_s});
    EXPECT_TRUE(freed.out.startsWith(u"Library downloaded (commit fixture-2)."_s)) << freed.out.toStdString();
    EXPECT_TRUE(freed.err.isEmpty()) << freed.err.toStdString();
    EXPECT_EQ(storedCommit(), u"fixture-2"_s);
    EXPECT_TRUE(klv({u"refresh"_s}).out.startsWith(u"Library unchanged (commit fixture-2)."_s));
}

TEST_F(CacheDurabilityCliTest, AMissingOrGarbledCacheMakesTheStoredCommitUnknown) {
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    ASSERT_EQ(libraryDownloads(), 1);

    for (const QByteArray &damage : {QByteArray("[{\"product_id\": 1, \"product_na"), QByteArray()}) {
        if (damage.isEmpty()) {
            ASSERT_TRUE(QFile::remove(cacheFile()));
        } else {
            QFile cache(cacheFile());
            ASSERT_TRUE(cache.open(QIODevice::WriteOnly | QIODevice::Truncate));
            cache.write(damage);
        }
        const CliResult refresh = klv({u"refresh"_s});
        EXPECT_TRUE(refresh.out.startsWith(u"Library downloaded (commit fixture-1)."_s)) << refresh.out.toStdString();
        EXPECT_EQ(listedNames().size(), 12);
    }
    EXPECT_EQ(libraryDownloads(), 3);
}

TEST_F(CacheDurabilityCliTest, ClearingTheCacheWithTheStoreAwayKeepsIt) {
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    const QByteArray cached = readFile(cacheFile());
    const QByteArray map = readFile(mapFile());
    ASSERT_FALSE(map.isEmpty());
    ASSERT_TRUE(store.stop());

    const CliResult cleared = klv({u"clear-cache"_s});
    EXPECT_EQ(cleared.exitCode, 3) << cleared.err.toStdString();
    EXPECT_FALSE(cleared.err.contains(u"Cache Cleared"_s)) << "nothing was cleared: " << cleared.err.toStdString();
    EXPECT_TRUE(cleared.err.contains(u"could not be reached"_s) && cleared.err.contains(u"The cache was kept."_s))
        << cleared.err.toStdString();
    EXPECT_EQ(readFile(cacheFile()), cached);
    EXPECT_EQ(readFile(mapFile()), map);
    EXPECT_EQ(storedCommit(), u"fixture-1"_s);
    EXPECT_EQ(listedNames().size(), 12) << "the library as last known is still there to show";

    ASSERT_TRUE(store.start());
    const CliResult reloaded = klv({u"clear-cache"_s});
    EXPECT_EQ(reloaded.exitCode, 0);
    EXPECT_EQ(reloaded.out, u"Library reloaded: 15 products.\n"_s);
}

TEST_F(CacheDurabilityCliTest, AnotherCustomerStartsCleanTheSameOneKeepsTheCache) {
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    ASSERT_TRUE(QFile::exists(cacheFile()));

    ASSERT_EQ(signInAs(u"tester"_s).exitCode, 0);
    EXPECT_TRUE(QFile::exists(cacheFile()));
    EXPECT_EQ(storedCommit(), u"fixture-1"_s);
    EXPECT_EQ(klv({u"refresh"_s}).out, u"Library unchanged (commit fixture-1).\nNo changes; 15 products.\n"_s);

    ASSERT_EQ(signInAs(u"noname"_s).exitCode, 0);
    EXPECT_FALSE(QFile::exists(cacheFile()));
    EXPECT_EQ(storedCommit(), u"Unknown commit id"_s);
    const CliResult whoami = klv({u"whoami"_s});
    EXPECT_TRUE(whoami.out.contains(u"noname@klv.example"_s)) << whoami.out.toStdString();
    // Its own library: one product it owns and no row of the previous customer's.
    const CliResult refresh = klv({u"refresh"_s});
    EXPECT_TRUE(refresh.out.startsWith(u"Library downloaded (commit fixture-1).\n  + Alpha Titles"_s))
        << refresh.out.toStdString();
    EXPECT_TRUE(refresh.out.endsWith(u"1 changes; 1 products.\n"_s)) << refresh.out.toStdString();
}

TEST_F(CacheDurabilityCliTest, ASignInThatCannotBeStoredSaysSo) {
    const SmallDisk readOnly(home.filePath(u".config"_s), u"ro,size=64k"_s);
    if (!readOnly.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root and a mount-capable system";
    expectSignInNotRemembered();
}

// The same for any user: a folder stands where the settings file should be.
TEST_F(CacheDurabilityCliTest, ASignInThatCannotBeStoredSaysSoForAnyUser) {
    const QString settings = home.filePath(u".config/com.vantory.klvapp.conf"_s);
    ASSERT_TRUE(QFile::remove(settings));
    ASSERT_TRUE(QDir().mkpath(settings + u"/in the way"_s));
    expectSignInNotRemembered();
}

} // namespace
} // namespace klv::test
