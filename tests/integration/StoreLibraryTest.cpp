#include <memory>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "StoreProcess.h"

using klv::test::StoreProcess;
using namespace Qt::StringLiterals;

namespace {

const QByteArray storeKeyHex = "3f2a9c0e7d6b5a4938271605f4e3d2c1b0a99887766554433221100ffeeddccb";
const QByteArray marketingKeyHex = "a1b2c3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6d7e8f90";
const std::string productEndpoint = "/klv-app-product/";
const QString tester = u"tester@klv.example"_s;

QString libraryCatalog() {
    return QStringLiteral(KLV_FIXTURES_DIR "/library");
}

QStringList keyArguments() {
    return {u"--store-key"_s, QString::fromLatin1(storeKeyHex), u"--marketing-key"_s,
            QString::fromLatin1(marketingKeyHex)};
}

// The envelope is built by hand rather than with the app's own code, so a fault shared by both cannot hide.
QByteArray encrypt(const QByteArray &iv, const QByteArray &plain) {
    const QByteArray key = QByteArray::fromHex(storeKeyHex);
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

std::string queryValue(const QByteArray &iv, const QString &text) {
    return encrypt(iv, text.toUtf8())
        .toBase64()
        .replace('+', "%2B")
        .replace('/', "%2F")
        .replace('=', "%3D")
        .toStdString();
}

std::string envelope(const QString &requestType, const QStringList &parameters) {
    QByteArray iv(16, Qt::Uninitialized);
    RAND_bytes(reinterpret_cast<unsigned char *>(iv.data()), static_cast<int>(iv.size()));
    std::string query = "?p1=" + iv.toHex().toStdString() + "&rt=" + queryValue(iv, requestType);
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        query += "&p" + std::to_string(i + 2) + "=" + queryValue(iv, parameters.at(i));
    }
    return productEndpoint + query + "&appV=3.2.1.57";
}

httplib::Result get(const StoreProcess &store, const std::string &target, const httplib::Headers &headers = {}) {
    httplib::Client client(store.url().toStdString());
    client.set_url_encode(false);
    return client.Get(target, headers);
}

QJsonObject answer(const StoreProcess &store, const QString &requestType, const QStringList &parameters,
                   const httplib::Headers &headers = {}) {
    const auto reply = get(store, envelope(requestType, parameters), headers);
    if (!reply) {
        ADD_FAILURE() << "no answer to " << requestType.toStdString() << ": " << httplib::to_string(reply.error());
        return {};
    }
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body));
    EXPECT_TRUE(document.isObject()) << requestType.toStdString() << " answered " << reply->body;
    return document.object();
}

QJsonObject library(const StoreProcess &store, const QString &email, const httplib::Headers &headers = {}) {
    return answer(store, u"secureCustomerProduct"_s, {email, u"3"_s}, headers);
}

QJsonObject commitNumber(const StoreProcess &store, const QString &email) {
    return answer(store, u"getProductCommitNumber"_s, {email});
}

QStringList texts(const QJsonArray &products, const QString &key) {
    QStringList values;
    for (const auto &product : products) {
        const QJsonValue value = product[key];
        values.append(value.isString() ? value.toString() : QString::number(value.toInteger()));
    }
    return values;
}

// The first product of that name.
QJsonObject named(const QJsonArray &products, const QString &productName) {
    for (const auto &product : products) {
        if (product[u"product_name"_s] == QJsonValue(productName)) {
            return product.toObject();
        }
    }
    ADD_FAILURE() << "no product named " << productName.toStdString();
    return {};
}

QJsonObject readCatalog(const QString &directory) {
    QFile file(directory + u"/store.json"_s);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}

class StoreLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_store = std::make_unique<StoreProcess>(libraryCatalog(), keyArguments());
        ASSERT_TRUE(s_store->start()) << s_store->errorString().toStdString();
    }
    static void TearDownTestSuite() { s_store.reset(); }

    static const StoreProcess &store() { return *s_store; }

private:
    static inline std::unique_ptr<StoreProcess> s_store;
};

// Each test owns a store over a copy of the library catalog that it may rewrite.
class StoreLibraryCatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_directory.isValid());
        writeCatalog(readCatalog(libraryCatalog()));
        ASSERT_TRUE(m_store.start()) << m_store.errorString().toStdString();
    }

    void writeCatalog(const QJsonObject &content) {
        QSaveFile file(m_directory.filePath(u"store.json"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(content).toJson());
        ASSERT_TRUE(file.commit());
    }

    QTemporaryDir m_directory;
    StoreProcess m_store{m_directory.path(), keyArguments()};
};

} // namespace

TEST_F(StoreLibraryTest, SendsTheOwnedProductsInStoreOrderAsStored) {
    const QJsonObject reply = library(store(), tester);
    ASSERT_EQ(reply.value(u"status"_s), QJsonValue(true));
    const QJsonArray data = reply.value(u"data"_s).toArray();

    // Numbers pick every product that carries them: both composites, both "Echo Pack" locations and both copies of
    // "Twin Titles". "Missing Pack" belongs to a group but not to the customer.
    EXPECT_EQ(texts(data, u"product_id"_s),
              QStringList({u"500"_s, u"501"_s, u"502"_s, u"600"_s, u"601"_s, u"0"_s, u"0"_s, u"700"_s, u"710"_s,
                           u"720"_s, u"720"_s, u"730"_s, u"730"_s, u"740"_s, u"750"_s, u"760"_s}));
    EXPECT_EQ(texts(data, u"product_name"_s),
              QStringList({u"Starter Bundle"_s, u"Alpha Titles"_s, u"Beta Transitions"_s, u"Zeta Bundle"_s,
                           u"Zeta Titles"_s, u"Dust Composite"_s, u"Film Burn Composite"_s, u"Cinematic DVR 3"_s,
                           u"Glow Pack - Full Version"_s, u"Echo Pack"_s, u"Echo Pack"_s, u"Twin Titles"_s,
                           u"Twin Titles"_s, u"aurora Glow"_s, u"Élan Titles"_s, u"Café Transitions"_s}));
    EXPECT_EQ(data.at(9)[u"product_location"_s], QJsonValue(u"Titles"_s));
    EXPECT_EQ(data.at(10)[u"product_location"_s], QJsonValue(u"Transitions"_s));
    EXPECT_EQ(texts(data, u"lastest"_s).mid(11, 2), QStringList({u"2024.01.01"_s, u"2024.06.01"_s}));

    const QString url = store().url();
    EXPECT_EQ(named(data, u"Starter Bundle"_s)[u"product_image_url"_s], QJsonValue(url + u"/files/pictures/red.png"_s));
    EXPECT_EQ(named(data, u"Beta Transitions"_s)[u"product_image_url"_s],
              QJsonValue(u"see "_s + url + u"/files/pictures/blue.png now"_s));
    EXPECT_EQ(named(data, u"Twin Titles"_s)[u"product_image_url"_s], QJsonValue(u""_s));

    // Apart from the picture address, every object is the catalog's own, with no key added, dropped or retyped
    // (sizes beyond 32 bits included).
    const QJsonArray catalogProducts = readCatalog(libraryCatalog()).value(u"products"_s).toArray();
    for (const auto &sent : data) {
        QJsonObject product = sent.toObject();
        product.insert(u"product_image_url"_s,
                       product.value(u"product_image_url"_s).toString().replace(url, u"{store}"_s));
        EXPECT_TRUE(catalogProducts.contains(product)) << QJsonDocument(product).toJson().toStdString();
    }

    const QJsonArray nameless = library(store(), u"noname@klv.example"_s).value(u"data"_s).toArray();
    ASSERT_EQ(nameless.size(), 2);
    EXPECT_FALSE(nameless.at(0).toObject().contains(u"product_name"_s));
    EXPECT_EQ(nameless.at(1)[u"product_name"_s], QJsonValue(u"Alpha Titles"_s));
}

TEST_F(StoreLibraryTest, NamesPicturesAfterTheAddressTheClientUsed) {
    const QJsonArray data = library(store(), tester, {{"Host", "store.klv.example:8443"}}).value(u"data"_s).toArray();
    EXPECT_EQ(named(data, u"Starter Bundle"_s)[u"product_image_url"_s],
              QJsonValue(u"http://store.klv.example:8443/files/pictures/red.png"_s));
}

TEST_F(StoreLibraryTest, SendsTheCatalogsCommitNumber) {
    const QJsonObject reply = commitNumber(store(), tester);
    EXPECT_EQ(reply.value(u"status"_s), QJsonValue(true));
    EXPECT_EQ(reply.value(u"commitID"_s), QJsonValue(u"fixture-1"_s));
    EXPECT_TRUE(reply.value(u"msg"_s).isString());
}

TEST_F(StoreLibraryTest, RefusesUnknownCustomersAndMalformedRequests) {
    const std::pair<QString, QStringList> cases[] = {
        {u"getProductCommitNumber"_s, {u"nobody@klv.example"_s}},
        {u"getProductCommitNumber"_s, {u"TESTER@klv.example"_s}},
        {u"getProductCommitNumber"_s, {u"tester@klv.example "_s}},
        // The user name is not the e-mail.
        {u"getProductCommitNumber"_s, {u"tester"_s}},
        {u"getProductCommitNumber"_s, {}},
        {u"getProductCommitNumber"_s, {tester, u"3"_s}},
        {u"secureCustomerProduct"_s, {u"nobody@klv.example"_s, u"3"_s}},
        {u"secureCustomerProduct"_s, {u""_s, u"3"_s}},
        {u"secureCustomerProduct"_s, {tester, u"4"_s}},
        {u"secureCustomerProduct"_s, {tester, u" 3"_s}},
        {u"secureCustomerProduct"_s, {tester}},
        {u"secureCustomerProduct"_s, {tester, u"3"_s, u"3"_s}},
        // A script replaces only the answer to a well-formed request.
        {u"secureCustomerProduct"_s, {u"nodata@klv.example"_s, u"4"_s}},
    };
    for (const auto &[requestType, parameters] : cases) {
        const QJsonObject reply = answer(store(), requestType, parameters);
        const std::string label = QString(requestType + u' ' + parameters.join(u'|')).toStdString();
        EXPECT_EQ(reply.value(u"status"_s), QJsonValue(false)) << label;
        EXPECT_FALSE(reply.value(u"msg"_s).toString().isEmpty()) << label;
        EXPECT_FALSE(reply.contains(u"data"_s) || reply.contains(u"commitID"_s)) << label;
    }
}

TEST_F(StoreLibraryTest, SendsScriptedAnswersPerRequestType) {
    const QJsonObject noData = library(store(), u"nodata@klv.example"_s);
    EXPECT_EQ(noData.value(u"status"_s), QJsonValue(true));
    EXPECT_FALSE(noData.contains(u"data"_s));

    EXPECT_EQ(library(store(), u"textdata@klv.example"_s).value(u"data"_s), QJsonValue(u"[]"_s));

    const QJsonObject refused = library(store(), u"refused@klv.example"_s);
    EXPECT_EQ(refused.value(u"status"_s), QJsonValue(false));
    EXPECT_EQ(refused.value(u"msg"_s), QJsonValue(u"The library is not available"_s));
    // Its commit number is not scripted.
    EXPECT_EQ(commitNumber(store(), u"refused@klv.example"_s).value(u"commitID"_s), QJsonValue(u"fixture-1"_s));

    EXPECT_EQ(commitNumber(store(), u"numbercommit@klv.example"_s).value(u"commitID"_s), QJsonValue(17));
    const QJsonArray unscripted = library(store(), u"numbercommit@klv.example"_s).value(u"data"_s).toArray();
    EXPECT_EQ(texts(unscripted, u"product_name"_s), QStringList{u"Alpha Titles"_s});

    for (const QString &requestType : {u"getProductCommitNumber"_s, u"secureCustomerProduct"_s}) {
        const QStringList parameters = requestType == u"secureCustomerProduct"_s
                                           ? QStringList{u"garbled@klv.example"_s, u"3"_s}
                                           : QStringList{u"garbled@klv.example"_s};
        const auto reply = get(store(), envelope(requestType, parameters));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
        EXPECT_EQ(reply->body, "<html>Service Unavailable</html>") << requestType.toStdString();
    }
}

TEST_F(StoreLibraryTest, ServesThePicturesTheLibraryNames) {
    const QJsonArray data = library(store(), tester).value(u"data"_s).toArray();
    const auto picture = [&](const QString &productName) {
        const QString address = named(data, productName).value(u"product_image_url"_s).toString();
        const bool served = address.startsWith(store().url() + u"/files/pictures/"_s);
        EXPECT_TRUE(served) << address.toStdString();
        return get(store(), served ? address.sliced(store().url().size()).toStdString() : "/");
    };

    for (const QString &productName : {u"Starter Bundle"_s, u"Alpha Titles"_s, u"Echo Pack"_s}) {
        const auto reply = picture(productName);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
        EXPECT_EQ(reply->get_header_value("Content-Type"), "image/png");
        const QImage image = QImage::fromData(QByteArray::fromStdString(reply->body), "PNG");
        EXPECT_EQ(image.size(), QSize(120, 120)) << productName.toStdString();
    }

    // What the catalog holds is sent as it is, even when it is no picture at all.
    const auto broken = picture(u"aurora Glow"_s);
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->status, 200);
    EXPECT_EQ(broken->get_header_value("Content-Type"), "image/png");
    EXPECT_TRUE(QImage::fromData(QByteArray::fromStdString(broken->body)).isNull());

    const auto missing = picture(u"Café Transitions"_s);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

TEST_F(StoreLibraryCatalogTest, AnswersFromTheRewrittenCatalog) {
    EXPECT_EQ(commitNumber(m_store, tester).value(u"commitID"_s), QJsonValue(u"fixture-1"_s));

    QJsonObject content = readCatalog(m_directory.path());
    content.insert(u"commitID"_s, u"fixture-2"_s);
    QJsonArray accounts = content.value(u"accounts"_s).toArray();
    QJsonObject account = accounts.at(0).toObject();
    // 999 is no product of the catalog.
    account.insert(u"products"_s, QJsonArray{710, 999, 501});
    accounts.replace(0, account);
    content.insert(u"accounts"_s, accounts);
    writeCatalog(content);

    EXPECT_EQ(commitNumber(m_store, tester).value(u"commitID"_s), QJsonValue(u"fixture-2"_s));
    const QJsonArray data = library(m_store, tester).value(u"data"_s).toArray();
    EXPECT_EQ(texts(data, u"product_name"_s), QStringList({u"Glow Pack - Full Version"_s, u"Alpha Titles"_s}));

    // A catalog without a commit number sends none rather than an invented one.
    content.remove(u"commitID"_s);
    writeCatalog(content);
    const QJsonObject reply = commitNumber(m_store, tester);
    EXPECT_EQ(reply.value(u"status"_s), QJsonValue(true));
    EXPECT_FALSE(reply.contains(u"commitID"_s));
}
