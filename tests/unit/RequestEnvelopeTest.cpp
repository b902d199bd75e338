#include "store/RequestEnvelope.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QUrlQuery>

namespace klv {
namespace {

const QString key = QStringLiteral("6b6c7661707073746f72656b65792d646576656c6f706d656e742d6f6e6c7921");

QMap<QString, QString> queryItems(const QString &query) {
    QMap<QString, QString> items;
    for (const QString &pair : query.mid(1).split(u'&'))
        items.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    return items;
}

// Decrypts one value with the openssl command, an implementation independent of ours.
QString opensslDecrypt(const QString &encodedValue, const QString &ivHex) {
    const QByteArray cipherText = QByteArray::fromBase64(QByteArray::fromPercentEncoding(encodedValue.toLatin1()));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("enc"), QStringLiteral("-d"), QStringLiteral("-aes-256-cbc"), QStringLiteral("-K"),
                   key, QStringLiteral("-iv"), ivHex});
    openssl.write(cipherText);
    openssl.closeWriteChannel();
    openssl.waitForFinished();
    EXPECT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    return QString::fromUtf8(openssl.readAllStandardOutput());
}

TEST(RequestEnvelope, ValuesDecryptWithAnIndependentImplementation) {
    const QStringList parameters{QStringLiteral("a&b=c+d/e f"), QStringLiteral("Ünïcødé ✓"), QString(),
                                 QStringLiteral("%41 looks encoded")};
    const RequestQuery query =
        buildRequestQuery(parameters, QStringLiteral("userLogin"), key, QStringLiteral("2.4.13"));
    ASSERT_FALSE(query.setupError);
    ASSERT_TRUE(query.encryptionErrors.isEmpty());

    const auto items = queryItems(query.text);
    EXPECT_EQ(items.keys(),
              (QStringList{QStringLiteral("appV"), QStringLiteral("p1"), QStringLiteral("p2"), QStringLiteral("p3"),
                           QStringLiteral("p4"), QStringLiteral("p5"), QStringLiteral("rt")}));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(items[u"p1"_qs]).hasMatch());
    EXPECT_EQ(items[u"appV"_qs], u"2.4.13");
    EXPECT_EQ(opensslDecrypt(items[u"rt"_qs], items[u"p1"_qs]), u"userLogin");
    for (qsizetype i = 0; i < parameters.size(); ++i)
        EXPECT_EQ(opensslDecrypt(items[u"p" + QString::number(i + 2)], items[u"p1"_qs]), parameters[i]);
    EXPECT_TRUE(query.text.startsWith(u"?p1="));
    EXPECT_TRUE(query.text.indexOf(u"&rt=") < query.text.indexOf(u"&p2=") &&
                query.text.indexOf(u"&p5=") < query.text.indexOf(u"&appV="));
}

TEST(RequestEnvelope, OnlySafeCharactersReachTheUrl) {
    const RequestQuery query = buildRequestQuery({QString()}, QString(), key, QStringLiteral("1.0"));
    const auto items = queryItems(query.text);
    // An empty text is one padded block: 24 base64 characters ending in "==", sent as "%3D%3D".
    EXPECT_TRUE(items[u"p2"_qs].endsWith(u"%3D%3D"));
    EXPECT_EQ(QByteArray::fromPercentEncoding(items[u"p2"_qs].toLatin1()).size(), 24);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\?[A-Za-z0-9%&=._~-]+$")).match(query.text).hasMatch())
        << query.text.toStdString();
}

TEST(RequestEnvelope, NumbersParametersFromTwoAndLeavesOutEmptyLists) {
    const RequestQuery bare =
        buildRequestQuery({}, QStringLiteral("getProductVersion"), key, QStringLiteral("1.0.0.1"));
    EXPECT_EQ(queryItems(bare.text).keys(),
              (QStringList{QStringLiteral("appV"), QStringLiteral("p1"), QStringLiteral("rt")}));

    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten << QString::number(i);
    const auto items = queryItems(buildRequestQuery(ten, QStringLiteral("x"), key, QStringLiteral("1")).text);
    EXPECT_TRUE(items.contains(u"p11"_qs));
    EXPECT_FALSE(items.contains(u"p12"_qs));
    EXPECT_EQ(opensslDecrypt(items[u"p11"_qs], items[u"p1"_qs]), u"9");
}

TEST(RequestEnvelope, EveryRequestDrawsAFreshIv) {
    const auto first = queryItems(buildRequestQuery({QStringLiteral("same")}, QStringLiteral("rt"), key, {}).text);
    const auto second = queryItems(buildRequestQuery({QStringLiteral("same")}, QStringLiteral("rt"), key, {}).text);
    EXPECT_NE(first[u"p1"_qs], second[u"p1"_qs]);
    EXPECT_NE(first[u"rt"_qs], second[u"rt"_qs]);
    EXPECT_NE(first[u"p2"_qs], second[u"p2"_qs]);
}

TEST(RequestEnvelope, KeysOfOtherLengthsAndBadKeys) {
    EXPECT_FALSE(buildRequestQuery({}, QStringLiteral("rt"), u"0x" + key.toUpper(), {}).setupError);
    EXPECT_FALSE(buildRequestQuery({}, QStringLiteral("rt"), key.left(32), {}).setupError);
    for (const QString &bad : {key.left(30), key.left(63), QString(64, u'g'), QString()}) {
        const RequestQuery query = buildRequestQuery({QStringLiteral("x")}, QStringLiteral("rt"), bad, {});
        EXPECT_TRUE(query.setupError) << bad.toStdString();
        EXPECT_EQ(query.text, u"?");
    }
}

TEST(RequestEnvelope, PercentEncodesExactlyTheEighteenCharactersAndPercent) {
    const QString reserved = QStringLiteral("!*'();:@&=+$,/?#[]");
    const QStringList escapes{u"%21"_qs, u"%2A"_qs, u"%27"_qs, u"%28"_qs, u"%29"_qs, u"%3B"_qs,
                              u"%3A"_qs, u"%40"_qs, u"%26"_qs, u"%3D"_qs, u"%2B"_qs, u"%24"_qs,
                              u"%2C"_qs, u"%2F"_qs, u"%3F"_qs, u"%23"_qs, u"%5B"_qs, u"%5D"_qs};
    for (qsizetype i = 0; i < reserved.size(); ++i)
        EXPECT_EQ(percentEncodeQueryValue(u"a" + reserved[i] + u"b"), u"a" + escapes[i] + u"b");
    EXPECT_EQ(percentEncodeQueryValue(QStringLiteral("%2B")), u"%252B");
    EXPECT_EQ(percentEncodeQueryValue(QStringLiteral("az-._~ é")), u"az-._~ é");
}

} // namespace
} // namespace klv
