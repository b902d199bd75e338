#include "StoreServiceFixture.h"

#include "TestFiles.h"

#include <QJsonDocument>

#include <chrono>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// What a client saw of one answer: the announced length, and the body in the pieces it came in, read until
// `stopAfter` bytes came.
struct Received {
    bool answered = false;
    int status = 0;
    std::string contentType;
    std::string announced = "none";
    std::vector<std::size_t> pieces;
    std::string body;
};

class StoreFaultTest : public StoreServiceFixture {
protected:
    Received receive(const std::string &target, std::size_t stopAfter = std::string::npos) const {
        httplib::Client client(store.url().toStdString());
        client.set_url_encode(false);
        Received received;
        const auto reply = client.Get(
            target,
            [&](const httplib::Response &response) {
                received.status = response.status;
                received.contentType = response.get_header_value("Content-Type");
                if (response.has_header("Content-Length"))
                    received.announced = response.get_header_value("Content-Length");
                return true;
            },
            [&](const char *data, std::size_t length) {
                received.pieces.push_back(length);
                received.body.append(data, length);
                return received.body.size() < stopAfter;
            });
        received.answered = bool(reply);
        return received;
    }
    static QJsonObject onPack(const QString &kind, const QJsonObject &details = {}) {
        QJsonObject fault = details;
        fault.insert(u"path"_s, u"/files/pack.bin"_s);
        fault.insert(u"kind"_s, kind);
        return fault;
    }
    static QJsonObject onSignIn(const QString &kind, const QJsonObject &details = {}) {
        QJsonObject fault = details;
        fault.insert(u"rt"_s, u"userLogin"_s);
        fault.insert(u"kind"_s, kind);
        return fault;
    }
};

TEST_F(StoreFaultTest, StatusTruncateAndContentTypeFaultsChangeTheAnswerOfTheirPathOrRequestType) {
    writeCatalog({onPack(u"status"_s, {{u"status"_s, 503}}), onSignIn(u"status"_s)});
    for (const auto &[target, status] :
         {std::pair{std::string("/files/pack.bin"), 503}, std::pair{signInTarget(u"tester"_s, u"secret"_s), 500}}) {
        const Received page = receive(target);
        EXPECT_EQ(page.status, status) << target;
        EXPECT_EQ(page.contentType, "text/html");
        EXPECT_NE(page.body.find("<html>"), std::string::npos);
    }
    // Other files are untouched.
    EXPECT_EQ(receive("/files/notes.txt").body, "inside");

    writeCatalog({onPack(u"truncate"_s, {{u"bytes"_s, 100}}), onSignIn(u"truncate"_s, {{u"bytes"_s, 10}})});
    for (const auto &[target, bytes] : {std::pair{std::string("/files/pack.bin"), std::size_t{100}},
                                        std::pair{signInTarget(u"tester"_s, u"secret"_s), std::size_t{10}}}) {
        const Received cut = receive(target);
        EXPECT_FALSE(cut.answered) << target;
        EXPECT_EQ(cut.body.size(), bytes) << target;
        EXPECT_GT(std::stoull(cut.announced), bytes) << target;
    }

    writeCatalog({onPack(u"contentType"_s, {{u"contentType"_s, u"video/quicktime"_s}}),
                  onSignIn(u"contentType"_s, {{u"contentType"_s, u"text/html"_s}})});
    const Received relabelled = receive("/files/pack.bin");
    EXPECT_EQ(relabelled.contentType, "video/quicktime");
    EXPECT_EQ(QByteArray::fromStdString(relabelled.body), pack);
    const Received signedIn = receive(signInTarget(u"tester"_s, u"secret"_s));
    EXPECT_EQ(signedIn.contentType, "text/html");
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(signedIn.body))[u"status"_s], QJsonValue(true));
}

TEST_F(StoreFaultTest, DelayDropDripAndEndlessFaultsMisbehaveInTime) {
    writeCatalog({onPack(u"delay"_s, {{u"delayMs"_s, 300}}), onSignIn(u"drop"_s)});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(QByteArray::fromStdString(receive("/files/pack.bin").body), pack);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_FALSE(receive(signInTarget(u"tester"_s, u"secret"_s)).answered);
    // The dropped request was still logged.
    EXPECT_EQ(store.requestLog().constLast().value(u"rt"_s), QJsonValue(u"userLogin"_s));

    writeCatalog({onPack(u"drip"_s, {{u"delayMs"_s, 20}})});
    const Received dripped = receive("/files/pack.bin", 5);
    EXPECT_EQ(dripped.announced, std::to_string(pack.size()));
    EXPECT_EQ(dripped.pieces, std::vector<std::size_t>(5, 1));
    EXPECT_EQ(QByteArray::fromStdString(dripped.body), pack.left(5));

    writeCatalog({onPack(u"endless"_s)});
    const Received flooded = receive("/files/pack.bin", 8 << 20);
    EXPECT_EQ(flooded.announced, "none");
    EXPECT_GE(flooded.body.size(), std::size_t{8} << 20);
    EXPECT_EQ(flooded.body.find_first_not_of('\0'), std::string::npos);

    // Unusable entries are skipped, and once the faults are gone the store serves as before.
    writeCatalog({onPack(u"explode"_s), onPack(u"truncate"_s), QJsonObject{{u"kind"_s, u"status"_s}}});
    EXPECT_EQ(QByteArray::fromStdString(receive("/files/pack.bin").body), pack);
    EXPECT_EQ(signIn(u"tester"_s, u"secret"_s).value(u"status"_s), QJsonValue(true));
}

TEST(StoreFaultOptionTest, CommandLineFaultsApplyAndUnusableOnesStopTheStart) {
    QTemporaryDir catalog;
    ASSERT_TRUE(writeFile(catalog.filePath(u"store.json"_s), "{}"));
    ASSERT_TRUE(writeFile(catalog.filePath(u"files/font.ttf"_s), "font"));
    ASSERT_TRUE(writeFile(catalog.filePath(u"files/other.ttf"_s), "other"));
    storeservice::StoreProcess faulty(catalog.path(), {u"--fault"_s, u"path=/files/font.ttf,kind=status,status=404"_s});
    ASSERT_TRUE(faulty.start()) << faulty.errorString().toStdString();
    httplib::Client client(faulty.url().toStdString());
    EXPECT_EQ(client.Get("/files/font.ttf")->status, 404);
    EXPECT_EQ(client.Get("/files/other.ttf")->body, "other");

    for (const QString &unusable :
         {u"kind=status"_s, u"path=/files/x.zip,kind=truncate"_s, u"path=/files/x.zip,kind=status,status=99"_s,
          u"path=/files/x.zip,kind=drop,colour=red"_s}) {
        storeservice::StoreProcess refused(catalog.path(), {u"--fault"_s, unusable});
        EXPECT_FALSE(refused.start()) << unusable.toStdString();
        EXPECT_TRUE(refused.errorString().contains(u"exited with status 2"_s)) << refused.errorString().toStdString();
    }
}

} // namespace
} // namespace klv::test
