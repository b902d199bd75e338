#include "CliRun.h"
#include "SandboxHome.h"
#include "StoreProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>

namespace klv::test {
namespace {

class SignInCliTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store.start()) << store.errorString().toStdString(); }

    CliResult klv(const QStringList &arguments, const QByteArray &input = {}) const {
        QProcessEnvironment environment = home.environment();
        environment.insert(QStringLiteral("KLV_STORE_URL"), store.url());
        return runKlv(arguments, environment, input);
    }
    CliResult login(const QString &user, const QString &password) const {
        return klv({QStringLiteral("login"), user, QStringLiteral("--password-stdin")}, password.toUtf8() + '\n');
    }
    QString findFile(const QString &name) const {
        QDirIterator it(home.path(), {name}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        return it.hasNext() ? it.next() : QString();
    }
    QStringList storedKeys() const {
        return QSettings(findFile(QStringLiteral("*.conf")), QSettings::IniFormat).allKeys();
    }
    QString stored(const QString &key) const {
        return QSettings(findFile(QStringLiteral("*.conf")), QSettings::IniFormat).value(key).toString();
    }
    QString whoami() const { return klv({QStringLiteral("whoami")}).out; }

    SandboxHome home;
    StoreProcess store;
};

TEST_F(SignInCliTest, SignsInAndStaysSignedInAcrossRuns) {
    const CliResult result = login(QStringLiteral("tester"), QStringLiteral("secret"));
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Signed in as Test Customer <tester@klv.example>\n");
    EXPECT_EQ(whoami(), u"Test Customer\ntester@klv.example\n");
    EXPECT_EQ(stored(QStringLiteral("_sSession")), u"true");
    EXPECT_EQ(stored(QStringLiteral("_sUserEmail")), u"tester@klv.example");

    const QList<QJsonObject> requests = store.requestLog();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].value(u"endpoint").toString(), u"/appsecureaccountinfo/");
    EXPECT_EQ(requests[0].value(u"rt").toString(), u"userLogin");
    EXPECT_EQ(requests[0].value(u"appV").toString(), u"1.0.0.1");
}

TEST_F(SignInCliTest, AwkwardCredentialsArriveUnchanged) {
    const QString user = QStringLiteral("a&b=c+d/e f ÄÖü");
    const QString password = QStringLiteral("p&w=1+2/3 ß ✓");
    EXPECT_EQ(login(user, password).exitCode, 0);
    const QList<QJsonObject> requests = store.requestLog();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].value(u"params").toArray(), (QJsonArray{user, password}));

    EXPECT_EQ(klv({QStringLiteral("login"), QStringLiteral("--link-code"), QStringLiteral("KLV ÄÖü&=+/")}).exitCode, 0);
    EXPECT_EQ(store.requestLog().value(1).value(u"params").toArray(), QJsonArray{QStringLiteral("KLV ÄÖü&=+/")});
    EXPECT_EQ(whoami(), u"Ümlaut Tester\numlaut@klv.example\n");
}

TEST_F(SignInCliTest, RefusalsLeaveTheCustomerSignedOut) {
    const CliResult wrong = login(QStringLiteral("tester"), QStringLiteral("wrong"));
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_FALSE(wrong.err.isEmpty());
    EXPECT_EQ(whoami(), u"signed out\n");

    EXPECT_EQ(klv({QStringLiteral("login"), QStringLiteral("--link-code"), QStringLiteral("KLV-NOPE")}).exitCode, 1);
    EXPECT_EQ(klv({QStringLiteral("login"), QStringLiteral("--link-code"), QStringLiteral("KLV-TEST-0001")}).exitCode,
              0);
    EXPECT_EQ(whoami(), u"Test Customer\ntester@klv.example\n");
}

TEST_F(SignInCliTest, BadAnswersStoreNothing) {
    for (const QString &user :
         {QStringLiteral("bad-notjson"), QStringLiteral("bad-array"), QStringLiteral("bad-status-text"),
          QStringLiteral("bad-no-name"), QStringLiteral("bad-no-email")}) {
        const CliResult result = login(user, QStringLiteral("secret"));
        EXPECT_NE(result.exitCode, 0) << user.toStdString();
        EXPECT_GE(result.exitCode, 1) << user.toStdString() << " crashed: " << result.err.toStdString();
        EXPECT_EQ(whoami(), u"signed out\n") << user.toStdString();
        EXPECT_FALSE(storedKeys().contains(QStringLiteral("_sUserName"))) << user.toStdString();
    }
}

TEST_F(SignInCliTest, EmptyCredentialsSendNothing) {
    EXPECT_EQ(login(QStringLiteral("tester"), QString()).exitCode, 2);
    EXPECT_EQ(login(QString(), QStringLiteral("secret")).exitCode, 2);
    EXPECT_EQ(klv({QStringLiteral("login"), QStringLiteral("tester")}).exitCode, 2) << "no terminal to ask on";
    EXPECT_TRUE(store.requestLog().isEmpty());
}

TEST_F(SignInCliTest, AnUnreachableStoreIsReportedClearly) {
    ASSERT_TRUE(store.stop());
    const CliResult result = login(QStringLiteral("tester"), QStringLiteral("secret"));
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(result.err.contains(u"could not be reached")) << result.err.toStdString();
    EXPECT_EQ(whoami(), u"signed out\n");
}

TEST_F(SignInCliTest, LogoutForgetsEveryKeyAndTheCaches) {
    ASSERT_EQ(login(QStringLiteral("tester"), QStringLiteral("secret")).exitCode, 0);
    const QString pictureMap = findFile(QStringLiteral("KLVApp_UserData_IM.bin"));
    ASSERT_FALSE(pictureMap.isEmpty());
    QFile cache(QFileInfo(pictureMap).dir().filePath(QStringLiteral("KLVApp_MyProductCache.bin")));
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
    cache.write("[]");
    cache.close();

    const CliResult result = klv({QStringLiteral("logout")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(storedKeys().isEmpty()) << storedKeys().join(u", ").toStdString();
    EXPECT_FALSE(QFile::exists(pictureMap));
    EXPECT_FALSE(cache.exists());
    EXPECT_EQ(whoami(), u"signed out\n");
}

TEST_F(SignInCliTest, FirstRunWritesAReadablePictureMapAndLog) {
    ASSERT_EQ(login(QStringLiteral("tester"), QStringLiteral("wrong")).exitCode, 1);

    QProcess plistutil;
    plistutil.start(QStringLiteral("plistutil"),
                    {QStringLiteral("-i"), findFile(QStringLiteral("KLVApp_UserData_IM.bin"))});
    ASSERT_TRUE(plistutil.waitForFinished());
    const QString xml = QString::fromUtf8(plistutil.readAllStandardOutput());
    EXPECT_TRUE(xml.contains(u"<string>NSKeyedArchiver</string>")) << xml.toStdString();
    EXPECT_TRUE(xml.contains(u"<key>NS.keys</key>\n\t\t\t<array/>")) << xml.toStdString();
    EXPECT_TRUE(xml.contains(u"<string>NSMutableDictionary</string>"));

    QFile log(findFile(QStringLiteral("KLVAppLog.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    ASSERT_TRUE(text.startsWith(u'\n'));
    const QRegularExpression entry(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\+0000 : .+$"));
    for (const QString &line : text.mid(1).split(u'\n'))
        EXPECT_TRUE(entry.match(line).hasMatch()) << line.toStdString();
}

TEST_F(SignInCliTest, DoctorListsTheTreeAndTheStore) {
    const CliResult result = klv({QStringLiteral("doctor")});
    // The tests run without a desktop session, so the notification check fails.
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.contains(u"Store:       " + store.url()));
    EXPECT_TRUE(result.out.contains(u"  FAIL Notifications: "));
    EXPECT_TRUE(result.out.contains(QRegularExpression(QStringLiteral("Motion titles +folder +"))));
    EXPECT_TRUE(result.out.contains(QRegularExpression(QStringLiteral("Library cache +missing +"))));
    EXPECT_EQ(klv({QStringLiteral("frobnicate")}).exitCode, 2);
    EXPECT_EQ(klv({QStringLiteral("--version")}).out, u"klv 1.0.0.1\n");
}

} // namespace
} // namespace klv::test
