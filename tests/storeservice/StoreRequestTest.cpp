#include "StoreServiceFixture.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

using StoreRequestTest = StoreServiceFixture;

TEST_F(StoreRequestTest, AnswersMalformedEnvelopesWithStatusFalseAndWhy) {
    const std::string iv = "?p1=00112233445566778899aabbccddeeff";
    const auto sealed = [](const QByteArray &keyHex, const QString &requestType, const QStringList &parameters) {
        return StoreEnvelope(keyHex, requestType, parameters).query();
    };
    const std::pair<std::string, QString> cases[] = {
        {accountEndpoint, u"p1"_s},
        {accountEndpoint + "?p1=xyz&rt=abc&appV=1", u"p1 is not hexadecimal"_s},
        {accountEndpoint + iv + "&appV=1", u"rt (the request type) is missing"_s},
        {accountEndpoint + iv + "&rt=%25%25%25&appV=1", u"rt is not valid base64"_s},
        {accountEndpoint + sealed(marketingKeyHex, u"userLogin"_s, {u"tester"_s, u"secret"_s}),
         u"rt does not decrypt"_s},
        {"/klv-app-marketing/" + sealed(accountKeyHex, u"userLogin"_s, {u"tester"_s, u"secret"_s}),
         u"rt does not decrypt"_s},
        {accountEndpoint + sealed(accountKeyHex, u"noSuchRequest"_s, {}), u"unknown request type \"noSuchRequest\""_s},
        {accountEndpoint + sealed(accountKeyHex, u"userLogin"_s, {u"tester"_s}), u"userLogin takes p2"_s},
    };
    for (const auto &[target, reason] : cases) {
        const auto reply = get(target);
        ASSERT_TRUE(reply) << target;
        EXPECT_EQ(reply->status, 200) << target;
        const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object();
        EXPECT_EQ(answer.value(u"status"_s), QJsonValue(false)) << target;
        EXPECT_TRUE(answer.value(u"msg"_s).toString().contains(reason)) << target << " answered " << reply->body;
    }
    EXPECT_EQ(signIn(u"tester"_s, u"secret"_s).value(u"status"_s), QJsonValue(true));
}

TEST_F(StoreRequestTest, ServesOnlyFilesBelowTheFilesFolderAndNoLinkOutOfIt) {
    const QDir files(catalog.filePath(u"files"_s));
    ASSERT_TRUE(QFile::link(u"notes.txt"_s, files.filePath(u"alias.txt"_s)));
    ASSERT_TRUE(QFile::link(u"../store.json"_s, files.filePath(u"escape.json"_s)));
    ASSERT_TRUE(files.mkpath(u"pictures"_s));

    for (const std::string target : {"/files/notes.txt", "/files/alias.txt"}) {
        const auto inside = get(target);
        ASSERT_TRUE(inside) << target;
        EXPECT_EQ(inside->status, 200) << target;
        EXPECT_EQ(inside->body, "inside") << target;
    }
    const std::string outside[] = {
        "/files/../store.json",
        "/files/%2E%2E/store.json",
        "/files/pictures/..%2F..%2Fstore.json",
        "/files//etc/passwd",
        "/files/%2Fetc%2Fpasswd",
        "/files/notes.txt%00.png",
        "/files/escape.json",
        "/files/missing.zip",
        "/files/pictures",
        "/files/",
    };
    for (const std::string &target : outside) {
        const auto reply = get(target);
        ASSERT_TRUE(reply) << target;
        EXPECT_EQ(reply->status, 404) << target;
        EXPECT_EQ(reply->body.find("accounts"), std::string::npos) << target;
    }
}

} // namespace
} // namespace klv::test
