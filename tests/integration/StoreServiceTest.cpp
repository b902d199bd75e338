#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "StoreProcess.h"

using klv::test::StoreProcess;
using namespace Qt::StringLiterals;

namespace {

const QByteArray storeKeyHex = "3f2a9c0e7d6b5a4938271605f4e3d2c1b0a99887766554433221100ffeeddccb";
const QByteArray marketingKeyHex = "a1b2c3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6d7e8f90";
const std::string accountEndpoint = "/appsecureaccountinfo/";
const std::string productEndpoint = "/klv-app-product/";
const std::string marketingEndpoint = "/klv-app-marketing/";

QStringList keyArguments() {
    return {u"--store-key"_s, QString::fromLatin1(storeKeyHex), u"--marketing-key"_s,
            QString::fromLatin1(marketingKeyHex)};
}

QByteArray encrypt(const QByteArray &keyHex, const QByteArray &iv, const QByteArray &plain) {
    const QByteArray key = QByteArray::fromHex(keyHex);
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                                  &EVP_CIPHER_CTX_free);
    QByteArray cipher(plain.size() + 16, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(cipher.data());
    int updated = 0;
    int finished = 0;
    EVP_EncryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr,
                       reinterpret_cast<const unsigned char *>(key.constData()),
                       reinterpret_cast<const unsigned char *>(iv.constData()));
    EVP_EncryptUpdate(context.get(), out, &updated, reinterpret_cast<const unsigned char *>(plain.constData()),
                      static_cast<int>(plain.size()));
    EVP_EncryptFinal_ex(context.get(), out + updated, &finished);
    cipher.truncate(updated + finished);
    return cipher;
}

// What the app puts in the query for one value: base64 of the ciphertext, its "+", "/" and "=" escaped.
std::string queryValue(const QByteArray &keyHex, const QByteArray &iv, const QString &text) {
    return encrypt(keyHex, iv, text.toUtf8())
        .toBase64()
        .replace('+', "%2B")
        .replace('/', "%2F")
        .replace('=', "%3D")
        .toStdString();
}

QByteArray freshIv() {
    QByteArray iv(16, Qt::Uninitialized);
    RAND_bytes(reinterpret_cast<unsigned char *>(iv.data()), static_cast<int>(iv.size()));
    return iv;
}

std::string envelope(const QString &requestType, const QStringList &parameters,
                     const QByteArray &keyHex = storeKeyHex) {
    const QByteArray iv = freshIv();
    std::string query = "?p1=" + iv.toHex().toStdString() + "&rt=" + queryValue(keyHex, iv, requestType);
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        query += "&p" + std::to_string(i + 2) + "=" + queryValue(keyHex, iv, parameters.at(i));
    }
    return query + "&appV=3.2.1.57";
}

httplib::Result get(const StoreProcess &store, const std::string &target, const httplib::Headers &headers = {}) {
    httplib::Client client(store.url().toStdString());
    // The targets are escaped already, some on purpose in ways the client would "fix".
    client.set_url_encode(false);
    return client.Get(target, headers);
}

QJsonObject answer(const StoreProcess &store, const std::string &target) {
    const auto reply = get(store, target);
    if (!reply) {
        ADD_FAILURE() << "no answer for " << target << ": " << httplib::to_string(reply.error());
        return {};
    }
    EXPECT_EQ(reply->status, 200) << target;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body));
    EXPECT_TRUE(document.isObject()) << target << " answered " << reply->body;
    return document.object();
}

QJsonObject signIn(const StoreProcess &store, const QString &user, const QString &password) {
    return answer(store, accountEndpoint + envelope(u"userLogin"_s, {user, password}));
}

class StoreServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_store = std::make_unique<StoreProcess>(StoreProcess::fixtureCatalog(), keyArguments());
        ASSERT_TRUE(s_store->start()) << s_store->errorString().toStdString();
    }
    static void TearDownTestSuite() { s_store.reset(); }

    static const StoreProcess &store() { return *s_store; }

private:
    static inline std::unique_ptr<StoreProcess> s_store;
};

// Each test owns a store over a catalog it may change.
class StoreCatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_directory.isValid());
        ASSERT_TRUE(QDir().mkpath(m_directory.filePath(u"files"_s)));
        writeCatalog(R"({"accounts": [{"user": "tester", "password": "secret", "name": "T", "email": "t@x"}]})");
        ASSERT_TRUE(m_store.start()) << m_store.errorString().toStdString();
    }

    void writeCatalog(const QByteArray &json) {
        QSaveFile file(m_directory.filePath(u"store.json"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
        ASSERT_TRUE(file.commit());
    }

    QTemporaryDir m_directory;
    StoreProcess m_store{m_directory.path(), keyArguments()};
};

} // namespace

TEST_F(StoreServiceTest, SignsInWithUserNameOrLinkCode) {
    struct Case {
        QString requestType;
        QStringList parameters;
        QString name;
        QString email;
    };
    const Case cases[] = {
        {u"userLogin"_s, {u"tester"_s, u"secret"_s}, u"Test Customer"_s, u"tester@klv.example"_s},
        {u"linkCode"_s, {u"KLV-TEST-0001"_s}, u"Test Customer"_s, u"tester@klv.example"_s},
        {u"userLogin"_s, {u"a&b=c+d/e f ÄÖü"_s, u"p&w=1+2/3 ß ✓"_s}, u"Ümlaut Tester"_s, u"umlaut@klv.example"_s},
        {u"linkCode"_s, {u"KLV ÄÖü&=+/"_s}, u"Ümlaut Tester"_s, u"umlaut@klv.example"_s},
    };
    for (const Case &login : cases) {
        const QJsonObject reply = answer(store(), accountEndpoint + envelope(login.requestType, login.parameters));
        EXPECT_EQ(reply.value(u"status"_s), QJsonValue(true)) << login.parameters.first().toStdString();
        EXPECT_EQ(reply.value(u"name"_s).toString(), login.name);
        EXPECT_EQ(reply.value(u"email"_s).toString(), login.email);
    }
}

TEST_F(StoreServiceTest, ComparesCredentialsExactly) {
    const QStringList nearMisses[] = {
        {u"tester "_s, u"secret"_s},
        {u" tester"_s, u"secret"_s},
        {u"Tester"_s, u"secret"_s},
        {u"tester"_s, u"Secret"_s},
        {u"tester"_s, u""_s},
        {u""_s, u""_s},
        {u"secret"_s, u"tester"_s},
        // The same letters, decomposed.
        {u"a&b=c+d/e f A\u0308O\u0308u\u0308"_s, u"p&w=1+2/3 ß ✓"_s},
        // What a server that turns "+" into a space would compare.
        {u"a&b=c d/e f ÄÖü"_s, u"p&w=1 2/3 ß ✓"_s},
    };
    for (const QStringList &credentials : nearMisses) {
        const QJsonObject reply = signIn(store(), credentials.at(0), credentials.at(1));
        EXPECT_EQ(reply.value(u"status"_s), QJsonValue(false)) << credentials.join(u'|').toStdString();
        EXPECT_FALSE(reply.value(u"msg"_s).toString().isEmpty());
    }
    for (const QString &code : {u"klv-test-0001"_s, u"KLV-TEST-0001 "_s, u""_s}) {
        const QJsonObject reply = answer(store(), accountEndpoint + envelope(u"linkCode"_s, {code}));
        EXPECT_EQ(reply.value(u"status"_s), QJsonValue(false)) << code.toStdString();
    }
}

TEST_F(StoreServiceTest, SendsScriptedAnswersVerbatim) {
    const std::pair<QString, std::string> rawBodies[] = {{u"bad-notjson"_s, "not json"}, {u"bad-array"_s, "[]"}};
    for (const auto &[user, body] : rawBodies) {
        const auto reply = get(store(), accountEndpoint + envelope(u"userLogin"_s, {user, u"secret"_s}));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
        EXPECT_EQ(reply->body, body);
    }

    const QJsonObject textStatus = signIn(store(), u"bad-status-text"_s, u"secret"_s);
    EXPECT_EQ(textStatus.value(u"status"_s), QJsonValue(u"true"_s));
    EXPECT_EQ(textStatus.value(u"name"_s), QJsonValue(u"Text Status"_s));

    const QJsonObject noName = signIn(store(), u"bad-no-name"_s, u"secret"_s);
    EXPECT_EQ(noName.value(u"status"_s), QJsonValue(true));
    EXPECT_FALSE(noName.contains(u"name"_s));
    EXPECT_TRUE(noName.contains(u"email"_s));

    const QJsonObject noEmail = signIn(store(), u"bad-no-email"_s, u"secret"_s);
    EXPECT_EQ(noEmail.value(u"status"_s), QJsonValue(true));
    EXPECT_TRUE(noEmail.contains(u"name"_s));
    EXPECT_FALSE(noEmail.contains(u"email"_s));

    // The script only replaces a successful answer.
    EXPECT_EQ(signIn(store(), u"bad-notjson"_s, u"wrong"_s).value(u"status"_s), QJsonValue(false));
}

TEST_F(StoreServiceTest, AnswersMalformedEnvelopesWithStatusFalse) {
    const std::string iv = "?p1=" + freshIv().toHex().toStdString();
    const std::string login = envelope(u"userLogin"_s, {u"tester"_s, u"secret"_s});
    const std::pair<std::string, QString> cases[] = {
        {accountEndpoint, u"p1"_s},
        {accountEndpoint + "?p1=xyz&rt=abc&appV=1", u"p1 is not hexadecimal"_s},
        {accountEndpoint + "?p1=00112233&rt=abc&appV=1", u"16-byte"_s},
        {accountEndpoint + iv + "&appV=1", u"rt (the request type) is missing"_s},
        {accountEndpoint + iv + "&rt=%25%25%25&appV=1", u"rt is not valid base64"_s},
        {accountEndpoint + envelope(u"userLogin"_s, {u"tester"_s, u"secret"_s}, marketingKeyHex),
         u"rt does not decrypt"_s},
        {marketingEndpoint + login, u"rt does not decrypt"_s},
        {accountEndpoint + envelope(u"noSuchRequest"_s, {}), u"unknown request type \"noSuchRequest\""_s},
        {productEndpoint + login, u"served on /appsecureaccountinfo/"_s},
        {accountEndpoint + envelope(u"userLogin"_s, {u"tester"_s}), u"userLogin takes p2"_s},
    };
    for (const auto &[target, reason] : cases) {
        const QJsonObject reply = answer(store(), target);
        EXPECT_EQ(reply.value(u"status"_s), QJsonValue(false)) << target;
        EXPECT_TRUE(reply.value(u"msg"_s).toString().contains(reason))
            << target << " answered " << reply.value(u"msg"_s).toString().toStdString();
    }
    EXPECT_EQ(signIn(store(), u"tester"_s, u"secret"_s).value(u"status"_s), QJsonValue(true));
}

TEST_F(StoreServiceTest, LogsEveryRequestThatOpened) {
    const auto before = store().requestLog().size();
    signIn(store(), u"a&b=c+d/e f ÄÖü"_s, u"p&w=1+2/3 ß ✓"_s);
    answer(store(), productEndpoint + envelope(u"noSuchRequest"_s, {u""_s}));
    answer(store(), accountEndpoint + "?p1=xyz&rt=abc&appV=1");

    const QList<QJsonObject> log = store().requestLog();
    ASSERT_EQ(log.size(), before + 2);
    const QJsonObject login{{u"endpoint"_s, u"/appsecureaccountinfo/"_s},
                            {u"rt"_s, u"userLogin"_s},
                            {u"params"_s, QJsonArray{u"a&b=c+d/e f ÄÖü"_s, u"p&w=1+2/3 ß ✓"_s}},
                            {u"appV"_s, u"3.2.1.57"_s}};
    const QJsonObject unknown{{u"endpoint"_s, u"/klv-app-product/"_s},
                              {u"rt"_s, u"noSuchRequest"_s},
                              {u"params"_s, QJsonArray{u""_s}},
                              {u"appV"_s, u"3.2.1.57"_s}};
    EXPECT_EQ(log.at(before), login);
    EXPECT_EQ(log.at(before + 1), unknown);
}

TEST_F(StoreServiceTest, ServesFilesWithTheirContentType) {
    const QString files = StoreProcess::fixtureCatalog() + u"/files/"_s;
    const std::pair<std::string, std::string> served[] = {{"pictures/pixel.png", "image/png"},
                                                          {"notes.txt", "text/plain"}};
    for (const auto &[path, type] : served) {
        QFile expected(files + QString::fromStdString(path));
        ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
        const auto reply = get(store(), "/files/" + path);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
        EXPECT_EQ(reply->get_header_value("Content-Type"), type);
        EXPECT_EQ(QByteArray::fromStdString(reply->body), expected.readAll());
    }

    const auto part = get(store(), "/files/notes.txt", {{"Range", "bytes=4-7"}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_EQ(part->body, "test");
}

TEST_F(StoreServiceTest, RefusesPathsOutsideTheFilesFolder) {
    const std::string targets[] = {
        "/files/../store.json", "/files/%2E%2E/store.json", "/files/pictures/..%2F..%2Fstore.json",
        "/files//etc/passwd",   "/files/%2Fetc%2Fpasswd",   "/files/notes.txt%00.png",
        "/files/missing.zip",   "/files/pictures",          "/files/",
    };
    for (const std::string &target : targets) {
        const auto reply = get(store(), target);
        ASSERT_TRUE(reply) << target;
        EXPECT_EQ(reply->status, 404) << target;
        EXPECT_EQ(reply->body.find("accounts"), std::string::npos) << target;
    }
}

TEST_F(StoreCatalogTest, FollowsEditsOfStoreJsonAndKeepsTheLastGoodOne) {
    EXPECT_EQ(signIn(m_store, u"newcomer"_s, u"fresh"_s).value(u"status"_s), QJsonValue(false));

    writeCatalog(R"({"accounts": [{"user": "newcomer", "password": "fresh", "name": "N", "email": "n@x"}]})");
    EXPECT_EQ(signIn(m_store, u"newcomer"_s, u"fresh"_s).value(u"status"_s), QJsonValue(true));
    EXPECT_EQ(signIn(m_store, u"tester"_s, u"secret"_s).value(u"status"_s), QJsonValue(false));

    writeCatalog(R"({"accounts": [)");
    EXPECT_EQ(signIn(m_store, u"newcomer"_s, u"fresh"_s).value(u"status"_s), QJsonValue(true));
}

TEST_F(StoreCatalogTest, DoesNotFollowLinksOutOfTheFilesFolder) {
    const QDir files(m_directory.filePath(u"files"_s));
    QFile notes(files.filePath(u"notes.txt"_s));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("inside");
    notes.close();
    ASSERT_TRUE(QFile::link(u"notes.txt"_s, files.filePath(u"alias.txt"_s)));
    ASSERT_TRUE(QFile::link(u"../store.json"_s, files.filePath(u"escape.json"_s)));

    const auto inside = get(m_store, "/files/alias.txt");
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->status, 200);
    EXPECT_EQ(inside->body, "inside");

    const auto outside = get(m_store, "/files/escape.json");
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->status, 404);
}

TEST(StoreServiceStartTest, RefusesToStartWithoutAUsableCatalog) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const std::pair<const char *, QByteArray> catalogs[] = {
        {"missing", {}}, {"broken", "{\"accounts\": ["}, {"array", "[]"}};
    for (const auto &[name, content] : catalogs) {
        const QString catalog = directory.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QDir().mkpath(catalog));
        if (!content.isNull()) {
            QFile file(catalog + u"/store.json"_s);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QProcess store;
        store.start(QStringLiteral(KLV_STORE_BINARY), {u"--catalog"_s, catalog, u"--port"_s, u"0"_s});
        ASSERT_TRUE(store.waitForFinished(10'000)) << name;
        EXPECT_EQ(store.exitCode(), 2) << name;
        EXPECT_TRUE(store.readAllStandardOutput().isEmpty()) << name;
        EXPECT_TRUE(store.readAllStandardError().contains("store.json")) << name;
    }
}

TEST(StoreServiceStartTest, DemoCatalogSignsInTheDemoAccount) {
    StoreProcess store(StoreProcess::demoCatalog(), keyArguments());
    ASSERT_TRUE(store.start()) << store.errorString().toStdString();

    const QJsonObject byName = signIn(store, u"demo"_s, u"demo"_s);
    const QJsonObject byCode = answer(store, accountEndpoint + envelope(u"linkCode"_s, {u"KLV-DEMO-2026"_s}));
    for (const QJsonObject &reply : {byName, byCode}) {
        EXPECT_EQ(reply.value(u"status"_s), QJsonValue(true));
        EXPECT_EQ(reply.value(u"name"_s), QJsonValue(u"Demo Customer"_s));
        EXPECT_EQ(reply.value(u"email"_s), QJsonValue(u"demo@klv.example"_s));
    }
    EXPECT_TRUE(store.stop());
}

TEST(StoreServiceStartTest, ServesHttpsWithItsCertificate) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString certificate = directory.filePath(u"cert.pem"_s);
    const QString key = directory.filePath(u"key.pem"_s);
    QProcess openssl;
    openssl.start(u"openssl"_s,
                  {u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s,
                   u"-nodes"_s, u"-days"_s, u"1"_s, u"-subj"_s, u"/CN=localhost"_s, u"-addext"_s,
                   u"subjectAltName=IP:127.0.0.1,DNS:localhost"_s, u"-keyout"_s, key, u"-out"_s, certificate});
    ASSERT_TRUE(openssl.waitForFinished(30'000) && openssl.exitCode() == 0)
        << openssl.readAllStandardError().toStdString();

    StoreProcess store(StoreProcess::fixtureCatalog(),
                       keyArguments() + QStringList{u"--cert"_s, certificate, u"--key"_s, key});
    ASSERT_TRUE(store.start()) << store.errorString().toStdString();
    ASSERT_TRUE(store.url().startsWith(u"https://127.0.0.1:"_s)) << store.url().toStdString();

    httplib::Client client(store.url().toStdString());
    client.set_ca_cert_path(certificate.toStdString());
    client.enable_server_certificate_verification(true);
    client.set_url_encode(false);
    const auto reply = client.Get(accountEndpoint + envelope(u"userLogin"_s, {u"tester"_s, u"secret"_s}));
    ASSERT_TRUE(reply) << httplib::to_string(reply.error());
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["status"_L1], QJsonValue(true));
}

TEST(StoreServiceStartTest, StopsCleanlyOnTerminate) {
    StoreProcess store(StoreProcess::fixtureCatalog(), keyArguments());
    ASSERT_TRUE(store.start()) << store.errorString().toStdString();
    ASSERT_EQ(signIn(store, u"tester"_s, u"secret"_s).value(u"status"_s), QJsonValue(true));
    EXPECT_TRUE(store.stop());
}

TEST(StoreServiceStartTest, RefusesAPortAnotherStoreListensOn) {
    StoreProcess first(StoreProcess::fixtureCatalog(), keyArguments());
    ASSERT_TRUE(first.start()) << first.errorString().toStdString();
    const QString port = first.url().section(u':', -1);

    QProcess second;
    second.start(QStringLiteral(KLV_STORE_BINARY),
                 QStringList{u"--catalog"_s, StoreProcess::fixtureCatalog(), u"--port"_s, port} + keyArguments());
    const bool ended = second.waitForFinished(10'000);
    if (!ended) {
        second.kill();
        second.waitForFinished();
    }
    ASSERT_TRUE(ended) << "a second store on port " << port.toStdString() << " started serving";
    EXPECT_EQ(second.exitCode(), 2);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_EQ(second.readAllStandardError().trimmed(),
              "klv-store: cannot listen on 127.0.0.1 port " + port.toUtf8() + ": Address already in use");
    EXPECT_EQ(signIn(first, u"tester"_s, u"secret"_s).value(u"status"_s), QJsonValue(true));
}
