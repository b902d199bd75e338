#include "SignedInKlvTest.h"
#include "TestFiles.h"

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

using namespace Qt::StringLiterals;

class SignInCliTest : public SignedInKlvTest {
protected:
    SignInCliTest()
        : SignedInKlvTest(fixtureCatalog(), Account::signedOut) {}

    CliResult login(const QString &user, const QString &password) const {
        return klv({u"login"_s, user, u"--password-stdin"_s}, password.toUtf8() + '\n');
    }
    QString findFile(const QString &name) const {
        QDirIterator it(home.path(), {name}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        return it.hasNext() ? it.next() : QString();
    }
    QStringList storedKeys() const { return QSettings(findFile(u"*.conf"_s), QSettings::IniFormat).allKeys(); }
    QString stored(const QString &key) const {
        return QSettings(findFile(u"*.conf"_s), QSettings::IniFormat).value(key).toString();
    }
    QString whoami() const { return klv({u"whoami"_s}).out; }
};

TEST_F(SignInCliTest, SignsInAndStaysSignedInAcrossRuns) {
    const CliResult result = login(u"tester"_s, u"secret"_s);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Signed in as Test Customer <tester@klv.example>\n");
    EXPECT_EQ(whoami(), u"Test Customer\ntester@klv.example\n");
    EXPECT_EQ(stored(u"_sSession"_s), u"true");
    EXPECT_EQ(stored(u"_sUserEmail"_s), u"tester@klv.example");

    const QList<QJsonObject> requests = store.requestLog();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].value(u"endpoint").toString(), u"/appsecureaccountinfo/");
    EXPECT_EQ(requests[0].value(u"rt").toString(), u"userLogin");
    EXPECT_EQ(requests[0].value(u"appV").toString(), u"1.0.0.1");
}

TEST_F(SignInCliTest, AwkwardCredentialsArriveUnchanged) {
    const QString user = u"a&b=c+d/e f ÄÖü"_s;
    const QString password = u"p&w=1+2/3 ß ✓"_s;
    EXPECT_EQ(login(user, password).exitCode, 0);
    const QList<QJsonObject> requests = store.requestLog();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].value(u"params").toArray(), (QJsonArray{user, password}));

    EXPECT_EQ(klv({u"login"_s, u"--link-code"_s, u"KLV ÄÖü&=+/"_s}).exitCode, 0);
    EXPECT_EQ(store.requestLog().value(1).value(u"params").toArray(), QJsonArray{u"KLV ÄÖü&=+/"_s});
    EXPECT_EQ(whoami(), u"Ümlaut Tester\numlaut@klv.example\n");
}

TEST_F(SignInCliTest, RefusalsLeaveTheCustomerSignedOut) {
    const CliResult wrong = login(u"tester"_s, u"wrong"_s);
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_FALSE(wrong.err.isEmpty());
    EXPECT_EQ(whoami(), u"signed out\n");

    EXPECT_EQ(klv({u"login"_s, u"--link-code"_s, u"KLV-NOPE"_s}).exitCode, 1);
    EXPECT_EQ(klv({u"login"_s, u"--link-code"_s, u"KLV-TEST-0001"_s}).exitCode, 0);
    EXPECT_EQ(whoami(), u"Test Customer\ntester@klv.example\n");
}

TEST_F(SignInCliTest, BadAnswersStoreNothing) {
    for (const QString &user :
         {u"bad-notjson"_s, u"bad-array"_s, u"bad-status-text"_s, u"bad-no-name"_s, u"bad-no-email"_s}) {
        const CliResult result = login(user, u"secret"_s);
        EXPECT_NE(result.exitCode, 0) << user.toStdString();
        EXPECT_GE(result.exitCode, 1) << user.toStdString() << " crashed: " << result.err.toStdString();
        EXPECT_EQ(whoami(), u"signed out\n") << user.toStdString();
        EXPECT_FALSE(storedKeys().contains(u"_sUserName"_s)) << user.toStdString();
    }
}

TEST_F(SignInCliTest, EmptyCredentialsSendNothing) {
    EXPECT_EQ(login(u"tester"_s, QString()).exitCode, 2);
    EXPECT_EQ(login(QString(), u"secret"_s).exitCode, 2);
    EXPECT_EQ(klv({u"login"_s, u"tester"_s}).exitCode, 2) << "no terminal to ask on";
    EXPECT_TRUE(store.requestLog().isEmpty());
}

TEST_F(SignInCliTest, AnUnreachableStoreIsReportedClearly) {
    ASSERT_TRUE(store.stop());
    const CliResult result = login(u"tester"_s, u"secret"_s);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(result.err.contains(u"could not be reached")) << result.err.toStdString();
    EXPECT_EQ(whoami(), u"signed out\n");
}

TEST_F(SignInCliTest, LogoutForgetsEveryKeyAndTheCaches) {
    ASSERT_EQ(login(u"tester"_s, u"secret"_s).exitCode, 0);
    const QString pictureMap = findFile(u"KLVApp_UserData_IM.bin"_s);
    ASSERT_FALSE(pictureMap.isEmpty());
    QFile cache(QFileInfo(pictureMap).dir().filePath(u"KLVApp_MyProductCache.bin"_s));
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
    cache.write("[]");
    cache.close();

    const CliResult result = klv({u"logout"_s});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(storedKeys().isEmpty()) << storedKeys().join(u", ").toStdString();
    EXPECT_FALSE(QFile::exists(pictureMap));
    EXPECT_FALSE(cache.exists());
    EXPECT_EQ(whoami(), u"signed out\n");
}

TEST_F(SignInCliTest, FirstRunWritesAReadablePictureMapAndLog) {
    ASSERT_EQ(login(u"tester"_s, u"wrong"_s).exitCode, 1);

    QProcess plistutil;
    plistutil.start(u"plistutil"_s, {u"-i"_s, findFile(u"KLVApp_UserData_IM.bin"_s)});
    ASSERT_TRUE(plistutil.waitForFinished());
    const QString xml = QString::fromUtf8(plistutil.readAllStandardOutput());
    EXPECT_TRUE(xml.contains(u"<string>NSKeyedArchiver</string>")) << xml.toStdString();
    EXPECT_TRUE(xml.contains(u"<key>NS.keys</key>\n\t\t\t<array/>")) << xml.toStdString();
    EXPECT_TRUE(xml.contains(u"<string>NSMutableDictionary</string>"));

    QFile log(findFile(u"KLVAppLog.txt"_s));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    ASSERT_TRUE(text.startsWith(u'\n'));
    const QRegularExpression entry(u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\+0000 : .+$"_s);
    for (const QString &line : text.mid(1).split(u'\n'))
        EXPECT_TRUE(entry.match(line).hasMatch()) << line.toStdString();
}

TEST_F(SignInCliTest, DoctorListsTheTreeAndTheStoreForWhatThisBuildHas) {
    QProcessEnvironment noDesktop = home.environment();
    noDesktop.insert(u"KLV_STORE_URL"_s, store.url());
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
        noDesktop.remove(QString::fromLatin1(variable));
    const CliResult result = runKlv({u"doctor"_s}, noDesktop);
    // Without a desktop session nobody would see a notification: that is no failure.
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(u"Store:       " + store.url() + u" (environment)"));
    EXPECT_TRUE(result.out.contains(u"  ok   Notifications: not available here"_s)) << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(QRegularExpression(u"Motion titles +folder +"_s)));
    EXPECT_TRUE(result.out.contains(QRegularExpression(u"Library cache +missing +"_s)));
    EXPECT_TRUE(result.out.contains(QRegularExpression(u"Updater +missing +"_s))) << "a build that updates itself";

    noDesktop.insert(u"KLV_SELF_UPDATE"_s, u"off"_s);
    const CliResult packaged = runKlv({u"doctor"_s}, noDesktop);
    EXPECT_FALSE(packaged.out.contains(u"Updater"_s)) << packaged.out.toStdString();
    EXPECT_FALSE(packaged.out.contains(u"app update"_s)) << packaged.out.toStdString();
    EXPECT_TRUE(packaged.out.contains(QRegularExpression(u"KLV App window +(file|missing) +/\\S+/klv-app\n"_s)))
        << packaged.out.toStdString();
    EXPECT_EQ(klv({u"frobnicate"_s}).exitCode, 2);
    EXPECT_EQ(klv({u"--version"_s}).out, u"klv 1.0.0.1\n");
}

} // namespace
} // namespace klv::test
