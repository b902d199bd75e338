#include "CliRun.h"
#include "SandboxHome.h"
#include "TestFiles.h"
#include "storeservice/StoreProcess.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// A value and where it came from, as doctor names them.
using Value = std::pair<QString, QString>;

// Where nothing listens: a request that went there would fail.
const QString nowhere = u"http://127.0.0.1:9"_s;

class ConfigurationCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        copyFolder(installCatalog(), catalog.path());
        ASSERT_TRUE(store.start()) << store.errorString().toStdString();
    }

    QString systemFile() const { return home.filePath(u"etc/klv-app/klv-app.conf"_s); }
    QString userFile() const { return home.filePath(u".config/klv-app/klv-app.conf"_s); }
    // The environment without any of the store's variables: the files decide.
    QProcessEnvironment environment() const {
        QProcessEnvironment environment = home.environment();
        for (const QString &name : environment.keys()) {
            if (name.startsWith(u"KLV_"_s) && name != u"KLV_SYSTEM_CONFIG_DIR")
                environment.remove(name);
        }
        return environment;
    }
    CliResult klv(const QStringList &arguments, const QProcessEnvironment &environment,
                  const QByteArray &input = {}) const {
        return runKlv(arguments, environment, input);
    }
    // Each value doctor names, with where it came from.
    QMap<QString, Value> configuration(const QProcessEnvironment &environment) const {
        const CliResult doctor = klv({u"doctor"_s, u"--json"_s}, environment);
        QMap<QString, Value> values;
        for (const QJsonValue &entry : QJsonDocument::fromJson(doctor.out.toUtf8())[u"configuration"].toArray())
            values.insert(entry[u"name"].toString(), {entry[u"value"].toString(), entry[u"source"].toString()});
        return values;
    }

    SandboxHome home;
    QTemporaryDir catalog;
    storeservice::StoreProcess store{catalog.path()};
};

TEST_F(ConfigurationCliTest, TheUsersFileOverTheSystemsUnderTheEnvironmentAndEveryAddressFollowsTheStore) {
    ASSERT_TRUE(writeFile(systemFile(), "# the site's store\nstore_url = " + nowhere.toUtf8() + "\n"));
    ASSERT_TRUE(writeFile(userFile(), "\n  store_url = " + store.url().toUtf8() + "/  \n"));

    auto values = configuration(environment());
    EXPECT_EQ(values[u"KLV_STORE_URL"_s], Value(store.url(), userFile()));
    EXPECT_EQ(values[u"KLV_LOGO_URL"_s], Value(store.url() + u"/files/logo.png", u"derived from the store address"_s));
    EXPECT_EQ(values[u"KLV_PLUGIN_SITE_URL"_s].first, store.url() + u"/files/plugins/");
    EXPECT_EQ(values[u"KLV_STORE_KEY"_s].second, u"built in"_s);
    EXPECT_TRUE(values[u"KLV_STORE_KEY"_s].first.contains(u"\u2026"_s)) << "a key is never shown whole";

    // Signed in and installed with nothing but the user's file: the plug-ins come from the same store.
    ASSERT_EQ(klv({u"login"_s, u"tester"_s, u"--password-stdin"_s}, environment(), "secret\n").exitCode, 0);
    const CliResult installed = klv({u"install"_s, u"Fixture Plugins"_s}, environment());
    EXPECT_EQ(installed.exitCode, 0) << installed.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(
        home.filePath(u".local/share/klv-app/Applications/Vantory/Plugins/KLV Fixture Glow.app/AppRun"_s)));

    // A store address set above the files takes every address it does not set with it.
    ASSERT_TRUE(writeFile(userFile(), "store_url = " + store.url().toUtf8() + "\nlogo_url = " + store.url().toUtf8() +
                                          "/files/other.png\n"));
    QProcessEnvironment pointed = environment();
    pointed.insert(u"KLV_STORE_URL"_s, nowhere);
    values = configuration(pointed);
    EXPECT_EQ(values[u"KLV_STORE_URL"_s], Value(nowhere, u"environment"_s));
    EXPECT_EQ(values[u"KLV_LOGO_URL"_s].first, nowhere + u"/files/logo.png");
    EXPECT_EQ(values[u"KLV_DOWNLOAD_BUCKET_URL"_s].first, nowhere + u"/files/bucket/");
    EXPECT_EQ(configuration(environment())[u"KLV_LOGO_URL"_s], Value(store.url() + u"/files/other.png", userFile()));
}

TEST_F(ConfigurationCliTest, AnUnusableSettingIsRefusedBeforeAnyRequest) {
    const struct {
        QByteArray file;
        QString said;
    } cases[] = {
        {"store_url = " + store.url().toUtf8() + "\nstore_key = 12ab\n",
         u"KLV_STORE_KEY (from " + userFile() + u") must be 64 hexadecimal digits; it has 4 characters."},
        {"store_url = " + store.url().toUtf8() + "\nstore_ulr = " + store.url().toUtf8() + "\n",
         userFile() + u":2: unknown setting \"store_ulr\"; the settings are store_url, "},
        {"store_url " + store.url().toUtf8() + "\n", userFile() + u":1: expected \"name = value\""},
    };
    for (const auto &[file, said] : cases) {
        ASSERT_TRUE(writeFile(userFile(), file));
        const CliResult refused = klv({u"login"_s, u"tester"_s, u"--password-stdin"_s}, environment(), "secret\n");
        EXPECT_EQ(refused.exitCode, 2) << said.toStdString();
        EXPECT_TRUE(refused.err.startsWith(said)) << refused.err.toStdString();
        const CliResult asJson = klv({u"sale"_s, u"--json"_s}, environment());
        EXPECT_EQ(asJson.exitCode, 2);
        EXPECT_EQ(QJsonDocument::fromJson(asJson.out.toUtf8())[u"exitCode"], 2) << asJson.out.toStdString();
    }
    QProcessEnvironment badKey = environment();
    badKey.insert(u"KLV_STORE_URL"_s, store.url());
    badKey.insert(u"KLV_MARKETING_KEY"_s, u"not hexadecimal"_s);
    ASSERT_TRUE(writeFile(userFile(), {}));
    const CliResult environmentKey = klv({u"sale"_s}, badKey);
    EXPECT_EQ(environmentKey.exitCode, 2);
    EXPECT_TRUE(environmentKey.err.startsWith(u"KLV_MARKETING_KEY (from environment) must be 64"_s))
        << environmentKey.err.toStdString();
    EXPECT_TRUE(store.requestLog().isEmpty()) << "nothing was sent";

    // Listing needs no store: the library as last known is shown, and why it was not checked is said.
    QProcessEnvironment usable = badKey;
    usable.remove(u"KLV_MARKETING_KEY"_s);
    ASSERT_EQ(klv({u"login"_s, u"tester"_s, u"--password-stdin"_s}, usable, "secret\n").exitCode, 0);
    const CliResult listed = klv({u"list"_s}, badKey);
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_TRUE(listed.err.startsWith(u"KLV_MARKETING_KEY (from environment) must be 64"_s))
        << listed.err.toStdString();
    EXPECT_TRUE(listed.err.contains(u"\nShowing the library as last known.\n"_s)) << listed.err.toStdString();
}

TEST_F(ConfigurationCliTest, AnIdentifierThatIsNoReverseDomainIsRefusedAndTouchesNothing) {
    // ".." named the home itself as the cache folder, which every start empties.
    const QString kept = home.filePath(u"Documents/project.motn"_s);
    ASSERT_TRUE(writeFile(kept, "the customer's"));
    for (const char *variable : {"KLV_BUNDLE_ID", "KLV_GROUP_ID"}) {
        for (const QString &identifier : {u".."_s, u"../.."_s, u"com/evil"_s, u"."_s}) {
            QProcessEnvironment hostile = environment();
            hostile.insert(QString::fromLatin1(variable), identifier);
            for (const QString &command : {u"whoami"_s, u"list"_s, u"doctor"_s}) {
                const CliResult refused = klv({command}, hostile);
                EXPECT_EQ(refused.exitCode, 2)
                    << variable << ' ' << identifier.toStdString() << ' ' << command.toStdString();
                EXPECT_TRUE(refused.err.startsWith(QString::fromLatin1(variable) + u" \""_s + identifier +
                                                   u"\" is not a reverse-domain identifier"_s))
                    << refused.err.toStdString();
            }
        }
    }
    EXPECT_EQ(readFile(kept), "the customer's");
}

TEST_F(ConfigurationCliTest, RequestsGoThroughTheProxyTheEnvironmentNames) {
    QTcpServer proxy;
    ASSERT_TRUE(proxy.listen(QHostAddress::LocalHost));
    QByteArray asked;
    QObject::connect(&proxy, &QTcpServer::newConnection, &proxy, [&proxy, &asked] {
        QTcpSocket *client = proxy.nextPendingConnection();
        QObject::connect(client, &QTcpSocket::readyRead, client, [client, &asked] {
            asked += client->readAll();
            if (!asked.contains("\r\n\r\n"))
                return;
            client->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            client->disconnectFromHost();
        });
    });

    QProcessEnvironment environment = this->environment();
    environment.insert(u"KLV_STORE_URL"_s, u"http://klv-store.invalid"_s);
    environment.insert(u"http_proxy"_s, u"http://127.0.0.1:"_s + QString::number(proxy.serverPort()));
    for (const QString &name : {u"no_proxy"_s, u"NO_PROXY"_s, u"all_proxy"_s, u"ALL_PROXY"_s})
        environment.remove(name);
    QProcess klv;
    klv.setProcessEnvironment(environment);
    klv.start(QString::fromUtf8(KLV_CLI_BINARY), {u"sale"_s});
    ASSERT_TRUE(waitUntil([&klv] { return klv.state() == QProcess::NotRunning; }, 60'000));
    EXPECT_TRUE(asked.startsWith("GET http://klv-store.invalid/klv-app-marketing/")) << asked.left(200).toStdString();
    EXPECT_NE(klv.exitCode(), 0) << "the proxy's refusal is the store's";
}

} // namespace
} // namespace klv::test
