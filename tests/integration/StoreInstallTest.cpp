#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include "StoreProcess.h"

using namespace klv::test;

using klv::test::StoreProcess;
using namespace Qt::StringLiterals;

namespace {

const QByteArray storeKeyHex = "3f2a9c0e7d6b5a4938271605f4e3d2c1b0a99887766554433221100ffeeddccb";
const QByteArray marketingKeyHex = "a1b2c3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6d7e8f90";
const std::string productEndpoint = "/klv-app-product/";
const QString tester = u"tester@klv.example"_s;

QString fixture() {
    return QStringLiteral(KLV_INSTALL_FIXTURE_DIR);
}

QString fixtureFile(const QString &relative) {
    return fixture() + u"/files/"_s + relative;
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

// The path of a file below /files/, escaped as the app's network layer escapes it.
std::string fileTarget(const QString &relative) {
    return "/files/" + QUrl::toPercentEncoding(relative, "/").toStdString();
}

httplib::Result get(const StoreProcess &store, const std::string &target) {
    httplib::Client client(store.url().toStdString());
    client.set_url_encode(false);
    return client.Get(target);
}

// The HTTP status, or -1 when no answer came.
int statusOf(const StoreProcess &store, const std::string &target) {
    const auto reply = get(store, target);
    return reply ? reply->status : -1;
}

QJsonObject answer(const StoreProcess &store, const QString &requestType, const QStringList &parameters) {
    const auto reply = get(store, envelope(requestType, parameters));
    if (!reply) {
        ADD_FAILURE() << "no answer to " << requestType.toStdString() << ": " << httplib::to_string(reply.error());
        return {};
    }
    EXPECT_EQ(reply->status, 200);
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body));
    EXPECT_TRUE(document.isObject()) << requestType.toStdString() << " answered " << reply->body;
    return document.object();
}

QJsonObject downloadInfo(const StoreProcess &store, qint64 productId, const QString &name,
                         const QString &osVersion = u"14.2\n"_s, const QString &group = u"false"_s,
                         const QString &email = tester) {
    return answer(store, u"requestDownloadInfo"_s, {email, QString::number(productId), name, osVersion, u"2"_s, group});
}

QString message(const QJsonObject &reply) {
    return reply.value(u"msg"_s).toString();
}

struct ArchiveEntry {
    QString path;
    unsigned mode = 0;
    QString linkTarget;
};

std::vector<ArchiveEntry> archiveEntries(const QString &path) {
    const std::unique_ptr<archive, decltype(&archive_read_free)> reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_zip(reader.get());
    std::vector<ArchiveEntry> entries;
    if (archive_read_open_filename(reader.get(), QFile::encodeName(path).constData(), 10240) != ARCHIVE_OK) {
        ADD_FAILURE() << "cannot open " << path.toStdString() << ": " << archive_error_string(reader.get());
        return entries;
    }
    archive_entry *entry = nullptr;
    while (archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK) {
        const char *link = archive_entry_symlink(entry);
        entries.push_back({QString::fromUtf8(archive_entry_pathname_utf8(entry)),
                           static_cast<unsigned>(archive_entry_mode(entry)),
                           link ? QString::fromUtf8(link) : QString()});
    }
    return entries;
}

QStringList paths(const std::vector<ArchiveEntry> &entries) {
    QStringList result;
    for (const ArchiveEntry &entry : entries) {
        result.append(entry.path);
    }
    return result;
}

class StoreInstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_store = std::make_unique<StoreProcess>(fixture(), keyArguments());
        ASSERT_TRUE(s_store->start()) << s_store->errorString().toStdString();
    }
    static void TearDownTestSuite() { s_store.reset(); }

    static const StoreProcess &store() { return *s_store; }
    static QString storeFile(const QString &relative) { return s_store->url() + u"/files/"_s + relative; }

private:
    static inline std::unique_ptr<StoreProcess> s_store;
};

// Each test owns a store over a copy of the fixture's store.json that it may rewrite; the packages are shared.
class StoreFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_directory.isValid());
        ASSERT_TRUE(QFile::link(fixture() + u"/files"_s, m_directory.filePath(u"files"_s)));
        writeCatalog({});
        ASSERT_TRUE(m_store.start()) << m_store.errorString().toStdString();
    }

    // The fixture's catalog with these top-level members added or replaced.
    void writeCatalog(const QJsonObject &changes) {
        QJsonObject catalog = QJsonDocument::fromJson(readFile(fixture() + u"/store.json"_s)).object();
        for (auto change = changes.begin(); change != changes.end(); ++change) {
            catalog.insert(change.key(), change.value());
        }
        QSaveFile file(m_directory.filePath(u"store.json"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(catalog).toJson());
        ASSERT_TRUE(file.commit());
    }

    void writeFaults(const QJsonArray &faults) { writeCatalog({{u"faults"_s, faults}}); }

    QTemporaryDir m_directory;
    StoreProcess m_store{m_directory.path(), keyArguments()};
};

} // namespace

TEST_F(StoreInstallTest, AnswersDownloadInfoWithTheStoresOwnAddresses) {
    const QJsonObject titles = downloadInfo(store(), 6101, u"Fixture Titles"_s);
    ASSERT_EQ(titles.value(u"status"_s), QJsonValue(true)) << message(titles).toStdString();
    EXPECT_EQ(titles.value(u"notAutomaticKill"_s), QJsonValue(QJsonArray{u"KLV Fixture Helper"_s}));
    EXPECT_EQ(titles.value(u"compositeData"_s), QJsonValue(QJsonArray()));
    const QJsonObject templates = titles.value(u"templateData"_s).toObject();
    ASSERT_EQ(templates.keys(), QStringList{u"6101"_s});
    const QJsonObject entry = templates.value(u"6101"_s).toObject();
    EXPECT_EQ(entry.value(u"product_name"_s), QJsonValue(u"Fixture Titles"_s));
    EXPECT_EQ(entry.value(u"mainApplication"_s), QJsonValue(u"FCP"_s));
    const QString link = entry.value(u"dlLink"_s).toString();
    EXPECT_EQ(link, storeFile(u"templates/fixture-titles.zip"_s));
    // Sizes come from the files the build made.
    EXPECT_EQ(entry.value(u"dlSize"_s).toInteger(), QFileInfo(fixtureFile(u"templates/fixture-titles.zip"_s)).size());
    const auto package = get(store(), link.sliced(store().url().size()).toStdString());
    ASSERT_TRUE(package);
    EXPECT_EQ(QByteArray::fromStdString(package->body), readFile(fixtureFile(u"templates/fixture-titles.zip"_s)));

    const QJsonObject extras =
        downloadInfo(store(), 6103, u"Fixture Extras"_s).value(u"templateData"_s)[u"6103"_s].toObject();
    EXPECT_EQ(extras.value(u"font"_s), QJsonValue(u"Fixture Sans,Fixture Serif,Fixture Missing"_s));
    EXPECT_EQ(extras.value(u"fonturl"_s), QJsonValue(storeFile(u"font-archives/fixture-family.zip"_s)));
    EXPECT_EQ(extras.value(u"appleCustomLut"_s), QJsonValue(QJsonArray{storeFile(u"luts/fixture-looks.zip"_s)}));

    const QJsonObject plugins =
        downloadInfo(store(), 6102, u"Fixture Plugins"_s).value(u"templateData"_s)[u"6102"_s].toObject();
    EXPECT_EQ(plugins.value(u"fxplug"_s), QJsonValue(u"KLV Fixture Glow,KLV Fixture Helper"_s));

    const QJsonObject resolve =
        downloadInfo(store(), 6300, u"Fixture Grade DVR"_s).value(u"templateData"_s)[u"6300"_s].toObject();
    EXPECT_EQ(resolve.value(u"mainApplication"_s), QJsonValue(u"DVR"_s));
    EXPECT_EQ(resolve.value(u"dlLink"_s), QJsonValue(storeFile(u"resolve/fixture-grade-dvr.zip"_s)));

    const QJsonObject broken =
        downloadInfo(store(), 6800, u"Fixture Broken Link"_s).value(u"templateData"_s)[u"6800"_s].toObject();
    EXPECT_EQ(broken.value(u"dlLink"_s), QJsonValue(u"not a link"_s));
    EXPECT_FALSE(broken.contains(u"dlSize"_s));
}

TEST_F(StoreInstallTest, ListsAGroupsMembersAndChecksTheGroupFlag) {
    const QJsonObject bundle = downloadInfo(store(), 6200, u"Fixture Bundle"_s, u"14.2"_s, u"true"_s);
    ASSERT_EQ(bundle.value(u"status"_s), QJsonValue(true)) << message(bundle).toStdString();
    const QJsonObject members = bundle.value(u"templateData"_s).toObject();
    EXPECT_EQ(members.keys(), QStringList({u"6201"_s, u"6202"_s}));
    EXPECT_EQ(members.value(u"6201"_s)[u"product_name"_s], QJsonValue(u"Fixture Alpha"_s));
    EXPECT_EQ(members.value(u"6202"_s)[u"product_name"_s], QJsonValue(u"Fixture Beta"_s));

    const QJsonObject groupAsSingle = downloadInfo(store(), 6200, u"Fixture Bundle"_s, u"14.2"_s, u"false"_s);
    const QJsonObject singleAsGroup = downloadInfo(store(), 6101, u"Fixture Titles"_s, u"14.2"_s, u"true"_s);
    const QJsonObject notABoolean = downloadInfo(store(), 6101, u"Fixture Titles"_s, u"14.2"_s, u"yes"_s);
    for (const QJsonObject &reply : {groupAsSingle, singleAsGroup, notABoolean}) {
        EXPECT_EQ(reply.value(u"status"_s), QJsonValue(false));
        EXPECT_TRUE(message(reply).contains(u"p7"_s)) << message(reply).toStdString();
    }
}

TEST_F(StoreInstallTest, PicksCompositesByName) {
    const std::pair<QString, QString> composites[] = {{u"Fixture Scratches"_s, u"composites/fixture-scratches.zip"_s},
                                                      {u"Fixture Flares"_s, u"composites/fixture-flares.mov"_s}};
    for (const auto &[name, file] : composites) {
        const QJsonObject reply = downloadInfo(store(), 0, name);
        ASSERT_EQ(reply.value(u"status"_s), QJsonValue(true)) << message(reply).toStdString();
        EXPECT_EQ(reply.value(u"templateData"_s), QJsonValue(QJsonObject()));
        const QJsonArray data = reply.value(u"compositeData"_s).toArray();
        ASSERT_EQ(data.size(), 1) << name.toStdString();
        EXPECT_EQ(data.at(0)[u"compositeName"_s], QJsonValue(name));
        EXPECT_EQ(data.at(0)[u"dlLink"_s], QJsonValue(storeFile(file)));
        EXPECT_EQ(data.at(0)[u"dlSize"_s].toInteger(), QFileInfo(fixtureFile(file)).size());
    }
    EXPECT_EQ(downloadInfo(store(), 0, u"Fixture Nothing"_s).value(u"status"_s), QJsonValue(false));
}

TEST_F(StoreInstallTest, RefusesTemplatesThatNeedANewerSystem) {
    // The product needs version 99; versions compare as numbers, component by component.
    const std::pair<QString, bool> systems[] = {
        {u"12\n"_s, false}, {u"98.9"_s, false},  {u"98.99.99"_s, false}, {u""_s, false},     {u"99"_s, true},
        {u"99\n"_s, true},  {u"99.0.0"_s, true}, {u"100"_s, true},       {u"100.1"_s, true},
    };
    for (const auto &[system, meets] : systems) {
        const QJsonObject reply = downloadInfo(store(), 6400, u"Fixture Future"_s, system);
        ASSERT_EQ(reply.value(u"status"_s), QJsonValue(true)) << system.toStdString();
        const QJsonObject entry = reply.value(u"templateData"_s)[u"6400"_s].toObject();
        EXPECT_FALSE(entry.contains(u"minOSVersion"_s));
        if (meets) {
            EXPECT_EQ(entry.value(u"product_name"_s), QJsonValue(u"Fixture Future"_s)) << system.toStdString();
            EXPECT_EQ(entry.value(u"dlLink"_s), QJsonValue(storeFile(u"templates/fixture-future.zip"_s)));
        } else {
            EXPECT_EQ(entry, QJsonObject({{u"product_name"_s, u""_s}, {u"msg"_s, u"not meet requirement"_s}}))
                << system.toStdString();
        }
    }
}

TEST_F(StoreInstallTest, RefusesUnknownCustomersUnownedProductsAndMalformedRequests) {
    const std::pair<QJsonObject, QString> refusals[] = {
        {downloadInfo(store(), 6900, u"Fixture Unowned"_s), u"does not own"_s},
        {downloadInfo(store(), 6101, u"Fixture Titles"_s, u"14.2"_s, u"false"_s, u"nobody@klv.example"_s),
         u"Unknown customer"_s},
        {downloadInfo(store(), 123456, u"Nothing"_s), u"Unknown product 123456"_s},
        {answer(store(), u"requestDownloadInfo"_s, {tester, u"6101"_s, u"Fixture Titles"_s, u"14.2"_s, u"2"_s}),
         u"got 5 parameters"_s},
        {answer(store(), u"requestDownloadInfo"_s,
                {tester, u"6101"_s, u"Fixture Titles"_s, u"14.2"_s, u"3"_s, u"false"_s}),
         u"p6"_s},
        {answer(store(), u"requestDownloadInfo"_s,
                {tester, u"61O1"_s, u"Fixture Titles"_s, u"14.2"_s, u"2"_s, u"false"_s}),
         u"p3"_s},
        {answer(store(), u"appleCustomLut"_s, {u"123456"_s}), u"Unknown product 123456"_s},
        {answer(store(), u"appleCustomLut"_s, {u"6103"_s, u"extra"_s}), u"got 2 parameters"_s},
    };
    for (const auto &[reply, reason] : refusals) {
        EXPECT_EQ(reply.value(u"status"_s), QJsonValue(false)) << reason.toStdString();
        EXPECT_TRUE(message(reply).contains(reason)) << message(reply).toStdString();
    }
}

TEST_F(StoreInstallTest, AnswersCustomLutsOfAProduct) {
    const QJsonObject looks = answer(store(), u"appleCustomLut"_s, {u"6103"_s});
    EXPECT_EQ(looks.value(u"status"_s), QJsonValue(true));
    EXPECT_EQ(looks.value(u"data"_s),
              QJsonValue(QJsonArray{QJsonObject{{u"url"_s, storeFile(u"luts/fixture-looks.zip"_s)}}}));

    const QJsonObject none = answer(store(), u"appleCustomLut"_s, {u"6101"_s});
    EXPECT_EQ(none.value(u"status"_s), QJsonValue(true));
    EXPECT_EQ(none.value(u"data"_s), QJsonValue(QJsonArray()));
}

TEST_F(StoreInstallTest, ServesEveryPackageWithItsContentType) {
    const std::pair<QString, std::string> packages[] = {
        {u"templates/fixture-titles.zip"_s, "application/zip"},
        {u"plugins/KLV Fixture Glow.zip"_s, "application/zip"},
        {u"plugins/Bad $(plugin) `x`; \"q\".zip"_s, "application/zip"},
        {u"fonts/FixtureSans.ttf"_s, "font/ttf"},
        {u"fonts/FixtureSerif.otf"_s, "font/otf"},
        {u"font-archives/fixture-family.zip"_s, "application/zip"},
        {u"luts/fixture-looks.zip"_s, "application/zip"},
        {u"resolve/fixture-grade-dvr.zip"_s, "application/zip"},
        {u"composites/fixture-scratches.zip"_s, "application/zip"},
        // The app installs a composite as a movie only when the type names "mov".
        {u"composites/fixture-flares.mov"_s, "video/mov"},
    };
    for (const auto &[file, type] : packages) {
        const auto reply = get(store(), fileTarget(file));
        ASSERT_TRUE(reply) << file.toStdString();
        EXPECT_EQ(reply->status, 200) << file.toStdString();
        EXPECT_EQ(reply->get_header_value("Content-Type"), type) << file.toStdString();
        const QByteArray expected = readFile(fixtureFile(file));
        EXPECT_FALSE(expected.isEmpty()) << file.toStdString();
        EXPECT_EQ(QByteArray::fromStdString(reply->body), expected) << file.toStdString();
    }

    // The app asks for the TrueType file first; this font only exists as OpenType.
    const auto missing = get(store(), fileTarget(u"fonts/FixtureSerif.ttf"_s));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    EXPECT_EQ(missing->get_header_value("Content-Type"), "application/xml");
    EXPECT_EQ(missing->body.rfind("<?xml", 0), 0u) << missing->body;
}

// The installers' tests rely on what the build put into these archives, hostile parts included.
TEST(StoreInstallFixtureTest, ArchivesHoldWhatTheInstallersExpect) {
    const QStringList titles = paths(archiveEntries(fixtureFile(u"templates/fixture-titles.zip"_s)));
    const QString titlesFolder = u"Fixture Titles/Titles/KLV - Fixture Titles/"_s;
    const QStringList documents{titlesFolder + u"Lower Third/Lower Third.moti"_s,
                                titlesFolder + u"Headline/Headline.moti"_s,
                                u"Fixture Titles/Transitions/KLV - Fixture Titles/Wipe/Wipe.motr"_s};
    for (const QString &document : documents) {
        EXPECT_TRUE(titles.contains(document)) << document.toStdString();
    }
    for (const QString &entry : titles) {
        EXPECT_TRUE(entry.startsWith(u"Fixture Titles/"_s)) << entry.toStdString();
    }

    for (const QString &plugin : {u"KLV Fixture Glow"_s, u"Bad $(plugin) `x`; \"q\""_s}) {
        bool found = false;
        for (const ArchiveEntry &entry : archiveEntries(fixtureFile(u"plugins/"_s + plugin + u".zip"_s))) {
            if (entry.path == plugin + u".app/AppRun"_s) {
                found = true;
                EXPECT_EQ(entry.mode & 0777u, 0755u) << plugin.toStdString();
            }
        }
        EXPECT_TRUE(found) << plugin.toStdString();
    }

    EXPECT_TRUE(paths(archiveEntries(fixtureFile(u"templates/fixture-dotdot.zip"_s))).contains(u"../evil"_s));
    EXPECT_TRUE(paths(archiveEntries(fixtureFile(u"templates/fixture-absolute.zip"_s)))
                    .contains(u"/tmp/klv-fixture-absolute-evil"_s));
    const std::vector<ArchiveEntry> symlink = archiveEntries(fixtureFile(u"templates/fixture-symlink.zip"_s));
    const auto link = std::find_if(symlink.cbegin(), symlink.cend(),
                                   [](const ArchiveEntry &entry) { return (entry.mode & AE_IFMT) == AE_IFLNK; });
    ASSERT_NE(link, symlink.cend());
    EXPECT_TRUE(link->linkTarget.startsWith(u"../"_s));
    EXPECT_TRUE(paths(symlink).contains(link->path + u"/klv-fixture-symlink-evil"_s));

    EXPECT_EQ(paths(archiveEntries(fixtureFile(u"resolve/fixture-grade-dvr.zip"_s))),
              QStringList{u"KLV - Fixture Grade DVR.drfx"_s});
}

TEST_F(StoreFaultTest, ScriptedAnswersReplaceDownloadInfoAndCustomLuts) {
    QJsonObject catalog = QJsonDocument::fromJson(readFile(fixture() + u"/store.json"_s)).object();
    QJsonArray accounts = catalog.value(u"accounts"_s).toArray();
    QJsonObject account = accounts.at(0).toObject();
    account.insert(u"answers"_s, QJsonObject{{u"requestDownloadInfo"_s, u"not json"_s}});
    accounts.replace(0, account);
    QJsonArray products = catalog.value(u"products"_s).toArray();
    for (qsizetype i = 0; i < products.size(); ++i) {
        QJsonObject product = products.at(i).toObject();
        if (product.value(u"product_id"_s) == QJsonValue(6103)) {
            product.insert(u"answers"_s, QJsonObject{{u"appleCustomLut"_s, QJsonObject{{u"status"_s, u"true"_s}}}});
            products.replace(i, product);
        }
    }
    writeCatalog({{u"accounts"_s, accounts}, {u"products"_s, products}});

    const auto info = get(m_store, envelope(u"requestDownloadInfo"_s,
                                            {tester, u"6101"_s, u"Fixture Titles"_s, u"14.2"_s, u"2"_s, u"false"_s}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->body, "not json");
    EXPECT_EQ(answer(m_store, u"appleCustomLut"_s, {u"6103"_s}), QJsonObject({{u"status"_s, u"true"_s}}));
    EXPECT_EQ(answer(m_store, u"appleCustomLut"_s, {u"6101"_s}).value(u"status"_s), QJsonValue(true));
}

TEST_F(StoreFaultTest, StatusFaultsAnswerAnHtmlErrorPage) {
    writeFaults({QJsonObject{{u"path"_s, u"/files/plugins/KLV Fixture Glow.zip"_s},
                             {u"kind"_s, u"status"_s},
                             {u"status"_s, 503}},
                 QJsonObject{{u"rt"_s, u"requestDownloadInfo"_s}, {u"kind"_s, u"status"_s}}});
    const auto file = get(m_store, fileTarget(u"plugins/KLV Fixture Glow.zip"_s));
    const auto info = get(m_store, envelope(u"requestDownloadInfo"_s,
                                            {tester, u"6101"_s, u"Fixture Titles"_s, u"14.2"_s, u"2"_s, u"false"_s}));
    for (const auto &[reply, status] : {std::pair{&file, 503}, std::pair{&info, 500}}) {
        ASSERT_TRUE(*reply);
        EXPECT_EQ((*reply)->status, status);
        EXPECT_EQ((*reply)->get_header_value("Content-Type"), "text/html");
        EXPECT_NE((*reply)->body.find("<html>"), std::string::npos);
    }
    // Other files and request types are untouched.
    EXPECT_EQ(statusOf(m_store, fileTarget(u"plugins/KLV Fixture Helper.zip"_s)), 200);
    EXPECT_EQ(answer(m_store, u"appleCustomLut"_s, {u"6103"_s}).value(u"status"_s), QJsonValue(true));
}

TEST_F(StoreFaultTest, TruncateFaultsCloseAfterSomeBytesOfTheAnnouncedLength) {
    writeFaults({QJsonObject{{u"path"_s, u"/files/templates/fixture-titles.zip"_s},
                             {u"kind"_s, u"truncate"_s},
                             {u"bytes"_s, 100}},
                 QJsonObject{{u"rt"_s, u"appleCustomLut"_s}, {u"kind"_s, u"truncate"_s}, {u"bytes"_s, 10}}});
    const std::pair<std::string, qsizetype> targets[] = {{fileTarget(u"templates/fixture-titles.zip"_s), 100},
                                                         {envelope(u"appleCustomLut"_s, {u"6103"_s}), 10}};
    for (const auto &[target, bytes] : targets) {
        httplib::Client client(m_store.url().toStdString());
        client.set_url_encode(false);
        std::string announced;
        std::string received;
        const auto reply = client.Get(
            target,
            [&](const httplib::Response &response) {
                announced = response.get_header_value("Content-Length");
                return true;
            },
            [&](const char *data, std::size_t length) {
                received.append(data, length);
                return true;
            });
        EXPECT_FALSE(reply) << target;
        EXPECT_EQ(static_cast<qsizetype>(received.size()), bytes) << target;
        EXPECT_GT(std::stoll(announced), bytes) << target;
    }
}

TEST_F(StoreFaultTest, ContentTypeFaultsRelabelTheAnswer) {
    writeFaults({QJsonObject{{u"path"_s, u"/files/composites/fixture-flares.mov"_s},
                             {u"kind"_s, u"contentType"_s},
                             {u"contentType"_s, u"video/quicktime"_s}},
                 QJsonObject{{u"rt"_s, u"appleCustomLut"_s},
                             {u"kind"_s, u"contentType"_s},
                             {u"contentType"_s, u"text/html"_s}}});
    const auto movie = get(m_store, fileTarget(u"composites/fixture-flares.mov"_s));
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->status, 200);
    EXPECT_EQ(movie->get_header_value_count("Content-Type"), 1u);
    EXPECT_EQ(movie->get_header_value("Content-Type"), "video/quicktime");
    EXPECT_EQ(QByteArray::fromStdString(movie->body), readFile(fixtureFile(u"composites/fixture-flares.mov"_s)));

    const auto looks = get(m_store, envelope(u"appleCustomLut"_s, {u"6103"_s}));
    ASSERT_TRUE(looks);
    EXPECT_EQ(looks->get_header_value("Content-Type"), "text/html");
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(looks->body))[u"status"_s], QJsonValue(true));
}

TEST_F(StoreFaultTest, DelayFaultsAnswerLate) {
    writeFaults(
        {QJsonObject{{u"path"_s, u"/files/fonts/FixtureSans.ttf"_s}, {u"kind"_s, u"delay"_s}, {u"delayMs"_s, 700}},
         QJsonObject{{u"rt"_s, u"appleCustomLut"_s}, {u"kind"_s, u"delay"_s}, {u"delayMs"_s, 700}}});
    for (const std::string &target :
         {fileTarget(u"fonts/FixtureSans.ttf"_s), envelope(u"appleCustomLut"_s, {u"6103"_s})}) {
        const auto start = std::chrono::steady_clock::now();
        const auto reply = get(m_store, target);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(reply) << target;
        EXPECT_EQ(reply->status, 200) << target;
        EXPECT_GE(elapsed, std::chrono::milliseconds(700)) << target;
    }
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(get(m_store, fileTarget(u"fonts/FixtureSerif.otf"_s)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));
}

TEST_F(StoreFaultTest, DropFaultsCloseTheConnectionWithoutAnswer) {
    writeFaults({QJsonObject{{u"path"_s, u"/files/luts/fixture-looks.zip"_s}, {u"kind"_s, u"drop"_s}},
                 QJsonObject{{u"rt"_s, u"requestDownloadInfo"_s}, {u"kind"_s, u"drop"_s}}});
    const std::string targets[] = {
        fileTarget(u"luts/fixture-looks.zip"_s),
        envelope(u"requestDownloadInfo"_s, {tester, u"6101"_s, u"Fixture Titles"_s, u"14.2"_s, u"2"_s, u"false"_s})};
    for (const std::string &target : targets) {
        const auto reply = get(m_store, target);
        EXPECT_FALSE(reply) << target << " answered " << (reply ? reply->status : 0);
    }
    // The store keeps serving, and the request was still logged.
    EXPECT_EQ(answer(m_store, u"appleCustomLut"_s, {u"6103"_s}).value(u"status"_s), QJsonValue(true));
    EXPECT_EQ(m_store.requestLog().constFirst().value(u"rt"_s), QJsonValue(u"requestDownloadInfo"_s));
}

TEST_F(StoreFaultTest, DripFaultsSendAByteAtATimeAndEndlessFaultsNeverStop) {
    writeFaults(
        {QJsonObject{{u"path"_s, u"/files/fonts/FixtureSans.ttf"_s}, {u"kind"_s, u"drip"_s}, {u"delayMs"_s, 40}},
         QJsonObject{{u"path"_s, u"/files/luts/fixture-looks.zip"_s}, {u"kind"_s, u"endless"_s}}});
    // Reads until at least stopAfter bytes came, then hangs up; returns the announced length.
    const auto receive = [&](const std::string &target, std::size_t stopAfter, std::vector<std::size_t> &pieces,
                             std::string &body) {
        httplib::Client client(m_store.url().toStdString());
        client.set_url_encode(false);
        std::string announced = "none";
        client.Get(
            target,
            [&](const httplib::Response &response) {
                if (response.has_header("Content-Length"))
                    announced = response.get_header_value("Content-Length");
                return true;
            },
            [&](const char *data, std::size_t length) {
                pieces.push_back(length);
                body.append(data, length);
                return body.size() < stopAfter;
            });
        return announced;
    };

    std::vector<std::size_t> drips;
    std::string dripped;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receive(fileTarget(u"fonts/FixtureSans.ttf"_s), 5, drips, dripped),
              std::to_string(QFileInfo(fixtureFile(u"fonts/FixtureSans.ttf"_s)).size()));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5 * 40));
    EXPECT_EQ(drips, std::vector<std::size_t>(5, 1));
    EXPECT_EQ(QByteArray::fromStdString(dripped), readFile(fixtureFile(u"fonts/FixtureSans.ttf"_s)).left(5));

    std::vector<std::size_t> flood;
    std::string flooded;
    EXPECT_EQ(receive(fileTarget(u"luts/fixture-looks.zip"_s), 8 << 20, flood, flooded), "none");
    EXPECT_GE(flooded.size(), std::size_t{8} << 20);
    EXPECT_EQ(flooded.find_first_not_of('\0'), std::string::npos);
    // Once the clients went away, the store serves as before.
    EXPECT_EQ(statusOf(m_store, fileTarget(u"fonts/FixtureSerif.otf"_s)), 200);
}

TEST_F(StoreFaultTest, FaultsFollowEditsOfStoreJsonAndUnusableEntriesAreSkipped) {
    const std::string font = fileTarget(u"fonts/FixtureSans.ttf"_s);
    EXPECT_EQ(statusOf(m_store, font), 200);

    writeFaults(
        {QJsonObject{{u"path"_s, u"/files/fonts/FixtureSans.ttf"_s}, {u"kind"_s, u"explode"_s}},
         QJsonObject{{u"path"_s, u"/files/fonts/FixtureSans.ttf"_s}, {u"kind"_s, u"status"_s}, {u"delay"_s, 5}},
         QJsonObject{{u"path"_s, u"/files/fonts/FixtureSans.ttf"_s}, {u"kind"_s, u"truncate"_s}},
         QJsonObject{{u"kind"_s, u"status"_s}},
         QJsonObject{{u"path"_s, u"/files/fonts/FixtureSans.ttf"_s}, {u"kind"_s, u"status"_s}, {u"status"_s, 410}},
         QJsonObject{{u"path"_s, u"/files/fonts/FixtureSans.ttf"_s}, {u"kind"_s, u"status"_s}, {u"status"_s, 502}}});
    EXPECT_EQ(statusOf(m_store, font), 410);

    writeFaults({});
    EXPECT_EQ(statusOf(m_store, font), 200);
}

TEST(StoreFaultOptionTest, CommandLineFaultsApply) {
    StoreProcess store(fixture(),
                       keyArguments() + QStringList{u"--fault"_s,
                                                    u"path=/files/fonts/FixtureSans.ttf,kind=status,status=404"_s,
                                                    u"--fault"_s, u"rt=appleCustomLut,kind=drop"_s});
    ASSERT_TRUE(store.start()) << store.errorString().toStdString();
    const auto font = get(store, fileTarget(u"fonts/FixtureSans.ttf"_s));
    ASSERT_TRUE(font);
    EXPECT_EQ(font->status, 404);
    EXPECT_EQ(font->get_header_value("Content-Type"), "text/html");
    EXPECT_FALSE(get(store, envelope(u"appleCustomLut"_s, {u"6103"_s})));
    EXPECT_EQ(statusOf(store, fileTarget(u"fonts/FixtureSerif.otf"_s)), 200);
}

TEST(StoreFaultOptionTest, RefusesToStartWithAnUnusableFault) {
    const QString unusable[] = {u"kind=status"_s,
                                u"path=/files/x.zip"_s,
                                u"path=/files/x.zip,kind=truncate"_s,
                                u"path=/files/x.zip,kind=status,status=abc"_s,
                                u"path=/files/x.zip,kind=status,status=99"_s,
                                u"path=/files/x.zip,kind=delay,delayMs=-1"_s,
                                u"path=/files/x.zip,kind=drop,colour=red"_s,
                                u"path"_s};
    for (const QString &spec : unusable) {
        QProcess store;
        store.start(QStringLiteral(KLV_STORE_BINARY),
                    {u"--catalog"_s, fixture(), u"--port"_s, u"0"_s, u"--fault"_s, spec});
        ASSERT_TRUE(store.waitForFinished(10'000)) << spec.toStdString();
        EXPECT_EQ(store.exitCode(), 2) << spec.toStdString();
        EXPECT_TRUE(store.readAllStandardOutput().isEmpty()) << spec.toStdString();
        EXPECT_TRUE(store.readAllStandardError().contains("--fault")) << spec.toStdString();
    }
}

// The demo must show every kind of installation: each product of the demo account names packages the demo store serves,
// laid out so that the installers place them where detection finds them.
TEST(StoreInstallDemoTest, EveryDemoProductNamesPackagesTheInstallersCanPlace) {
    StoreProcess store(StoreProcess::demoCatalog(), keyArguments());
    ASSERT_TRUE(store.start()) << store.errorString().toStdString();
    const QJsonObject catalog =
        QJsonDocument::fromJson(readFile(StoreProcess::demoCatalog() + u"/store.json"_s)).object();
    const QJsonObject account = catalog.value(u"accounts"_s)[0].toObject();
    const QJsonArray owned = account.value(u"products"_s).toArray();
    const auto servedEntries = [&store](const QString &link) {
        const QString path = QUrl(link).path();
        EXPECT_EQ(statusOf(store, QUrl(link).path(QUrl::FullyEncoded).toStdString()), 200) << link.toStdString();
        return path.endsWith(u".zip"_s) ? paths(archiveEntries(StoreProcess::demoCatalog() + path)) : QStringList();
    };
    const auto holds = [](const QStringList &entries, const QString &pattern) {
        return !entries.filter(QRegularExpression(pattern)).isEmpty();
    };

    for (const auto &entry : catalog.value(u"products"_s).toArray()) {
        const QJsonObject product = entry.toObject();
        const QString name = product.value(u"product_name"_s).toString();
        if (!owned.contains(product.value(u"product_id"_s))) {
            continue;
        }
        const bool group = !product.value(u"children"_s).toArray().isEmpty();
        const QJsonObject reply = downloadInfo(store, product.value(u"product_id"_s).toInteger(), name, u"15.1\n"_s,
                                               group ? u"true"_s : u"false"_s, account.value(u"email"_s).toString());
        ASSERT_EQ(reply.value(u"status"_s), QJsonValue(true))
            << name.toStdString() << ": " << message(reply).toStdString();
        const QJsonObject templates = reply.value(u"templateData"_s).toObject();
        const QJsonArray composites = reply.value(u"compositeData"_s).toArray();
        EXPECT_FALSE(templates.isEmpty() && composites.isEmpty()) << name.toStdString();

        for (const auto &value : templates) {
            const QJsonObject package = value.toObject();
            const QString packageName = package.value(u"product_name"_s).toString();
            const QStringList entries = servedEntries(package.value(u"dlLink"_s).toString());
            if (package.value(u"mainApplication"_s) == QJsonValue(u"DVR"_s)) {
                EXPECT_TRUE(entries.contains(u"KLV - "_s + packageName + u".drfx"_s)) << packageName.toStdString();
                continue;
            }
            // The folder name detection looks for.
            QString installed = QString(packageName).remove(u"Vantory - "_s);
            if (installed.contains(u"Full"_s)) {
                installed.remove(u" - Full Version"_s);
            }
            EXPECT_TRUE(holds(entries, u"^[^/]+/(Effects|Titles|Transitions|Generators)/"_s +
                                           QRegularExpression::escape(u"KLV - "_s + installed) +
                                           u"/.+\\.mo(ti|ef|tr|tn)$"_s))
                << packageName.toStdString();
            for (const QString &plugin : package.value(u"fxplug"_s).toString().split(u',', Qt::SkipEmptyParts)) {
                EXPECT_TRUE(servedEntries(store.url() + u"/files/plugins/"_s + plugin + u".zip"_s)
                                .contains(plugin + u".app/AppRun"_s))
                    << plugin.toStdString();
            }
            for (const QString &font : package.value(u"font"_s).toString().split(u',', Qt::SkipEmptyParts)) {
                const std::string file = fileTarget(u"fonts/"_s + QString(font).remove(u' '));
                EXPECT_TRUE(statusOf(store, file + ".ttf") == 200 || statusOf(store, file + ".otf") == 200)
                    << font.toStdString();
            }
            for (const QString &archive : package.value(u"fonturl"_s).toString().split(u',', Qt::SkipEmptyParts)) {
                EXPECT_TRUE(holds(servedEntries(archive), u"^[^/]+\\.(ttf|otf)$"_s)) << archive.toStdString();
            }
            for (const auto &lut : package.value(u"appleCustomLut"_s).toArray()) {
                // Uninstalling removes this folder.
                EXPECT_TRUE(holds(servedEntries(lut.toString()),
                                  u"^"_s + QRegularExpression::escape(u"KLV - "_s + packageName + u" LUTs/"_s) +
                                      u".+\\.cube$"_s))
                    << lut.toString().toStdString();
            }
        }
        for (const auto &value : composites) {
            const QString composite = value[u"compositeName"_s].toString();
            const QString link = value[u"dlLink"_s].toString();
            if (link.endsWith(u".zip"_s)) {
                EXPECT_TRUE(servedEntries(link).contains(composite + u"/"_s)) << composite.toStdString();
            } else {
                servedEntries(link);
            }
        }
    }
}
