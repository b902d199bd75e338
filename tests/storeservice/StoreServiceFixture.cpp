#include "StoreServiceFixture.h"

#include "TestFiles.h"

#include <QJsonDocument>

namespace klv::test {

using namespace Qt::StringLiterals;

void StoreServiceFixture::SetUp() {
    writeCatalog();
    ASSERT_TRUE(writeFile(catalog.filePath(u"files/notes.txt"_s), "inside"));
    ASSERT_TRUE(writeFile(catalog.filePath(u"files/pack.bin"_s), pack));
    ASSERT_TRUE(store.start()) << store.errorString().toStdString();
}

QStringList StoreServiceFixture::keyArguments() {
    return {u"--store-key"_s, QString::fromLatin1(accountKeyHex), u"--marketing-key"_s,
            QString::fromLatin1(marketingKeyHex)};
}

void StoreServiceFixture::writeCatalog(const QJsonArray &faults) {
    const QJsonObject account{
        {u"user"_s, u"tester"_s}, {u"password"_s, u"secret"_s}, {u"name"_s, u"T"_s}, {u"email"_s, u"t@x"_s}};
    const QJsonObject content{{u"accounts"_s, QJsonArray{account}}, {u"faults"_s, faults}};
    ASSERT_TRUE(writeFile(catalog.filePath(u"store.json"_s), QJsonDocument(content).toJson()));
}

httplib::Result StoreServiceFixture::get(const std::string &target) const {
    httplib::Client client(store.url().toStdString());
    // The targets are escaped already, some on purpose in ways the client would "fix".
    client.set_url_encode(false);
    return client.Get(target);
}

std::string StoreServiceFixture::signInTarget(const QString &user, const QString &password) const {
    return accountEndpoint + StoreEnvelope(accountKeyHex, u"userLogin"_s, {user, password}).query();
}

QJsonObject StoreServiceFixture::signIn(const QString &user, const QString &password) const {
    const auto reply = get(signInTarget(user, password));
    EXPECT_TRUE(reply) << "no answer";
    return reply ? QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object() : QJsonObject();
}

} // namespace klv::test
