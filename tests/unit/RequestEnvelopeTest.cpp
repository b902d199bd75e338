#include "store/RequestEnvelope.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QUrlQuery>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

const QString key = u"6b6c7661707073746f72656b65792d646576656c6f706d656e742d6f6e6c7921"_s;

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
    openssl.start(u"openssl"_s, {u"enc"_s, u"-d"_s, u"-aes-256-cbc"_s, u"-K"_s, key, u"-iv"_s, ivHex});
    openssl.write(cipherText);
    openssl.closeWriteChannel();
    openssl.waitForFinished();
    EXPECT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    return QString::fromUtf8(openssl.readAllStandardOutput());
}

TEST(RequestEnvelope, ValuesDecryptWithAnIndependentImplementation) {
    const QStringList parameters{u"a&b=c+d/e f"_s, u"Ünïcødé ✓"_s, QString(), u"%41 looks encoded"_s};
    const RequestQuery query = buildRequestQuery(parameters, u"userLogin"_s, key, u"2.4.13"_s);
    ASSERT_FALSE(query.setupError);
    ASSERT_TRUE(query.encryptionErrors.isEmpty());

    const auto items = queryItems(query.text);
    EXPECT_EQ(items.keys(), (QStringList{u"appV"_s, u"p1"_s, u"p2"_s, u"p3"_s, u"p4"_s, u"p5"_s, u"rt"_s}));
    EXPECT_TRUE(QRegularExpression(u"^[0-9a-f]{32}$"_s).match(items[u"p1"_s]).hasMatch());
    EXPECT_EQ(items[u"appV"_s], u"2.4.13");
    EXPECT_EQ(opensslDecrypt(items[u"rt"_s], items[u"p1"_s]), u"userLogin");
    for (qsizetype i = 0; i < parameters.size(); ++i)
        EXPECT_EQ(opensslDecrypt(items[u"p" + QString::number(i + 2)], items[u"p1"_s]), parameters[i]);
    EXPECT_TRUE(query.text.startsWith(u"?p1="));
    EXPECT_TRUE(query.text.indexOf(u"&rt=") < query.text.indexOf(u"&p2=") &&
                query.text.indexOf(u"&p5=") < query.text.indexOf(u"&appV="));
}

TEST(RequestEnvelope, OnlySafeCharactersReachTheUrl) {
    const RequestQuery query = buildRequestQuery({QString()}, QString(), key, u"1.0"_s);
    const auto items = queryItems(query.text);
    // An empty text is one padded block: 24 base64 characters ending in "==", sent as "%3D%3D".
    EXPECT_TRUE(items[u"p2"_s].endsWith(u"%3D%3D"));
    EXPECT_EQ(QByteArray::fromPercentEncoding(items[u"p2"_s].toLatin1()).size(), 24);
    EXPECT_TRUE(QRegularExpression(u"^\\?[A-Za-z0-9%&=._~-]+$"_s).match(query.text).hasMatch())
        << query.text.toStdString();
}

TEST(RequestEnvelope, NumbersParametersFromTwoAndLeavesOutEmptyLists) {
    const RequestQuery bare = buildRequestQuery({}, u"getProductVersion"_s, key, u"1.0.0.1"_s);
    EXPECT_EQ(queryItems(bare.text).keys(), (QStringList{u"appV"_s, u"p1"_s, u"rt"_s}));

    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten << QString::number(i);
    const auto items = queryItems(buildRequestQuery(ten, u"x"_s, key, u"1"_s).text);
    EXPECT_TRUE(items.contains(u"p11"_s));
    EXPECT_FALSE(items.contains(u"p12"_s));
    EXPECT_EQ(opensslDecrypt(items[u"p11"_s], items[u"p1"_s]), u"9");
}

TEST(RequestEnvelope, EveryRequestDrawsAFreshIv) {
    const auto first = queryItems(buildRequestQuery({u"same"_s}, u"rt"_s, key, {}).text);
    const auto second = queryItems(buildRequestQuery({u"same"_s}, u"rt"_s, key, {}).text);
    EXPECT_NE(first[u"p1"_s], second[u"p1"_s]);
    EXPECT_NE(first[u"rt"_s], second[u"rt"_s]);
    EXPECT_NE(first[u"p2"_s], second[u"p2"_s]);
}

TEST(RequestEnvelope, KeysOfOtherLengthsAndBadKeys) {
    EXPECT_FALSE(buildRequestQuery({}, u"rt"_s, u"0x" + key.toUpper(), {}).setupError);
    EXPECT_FALSE(buildRequestQuery({}, u"rt"_s, key.left(32), {}).setupError);
    for (const QString &bad : {key.left(30), key.left(63), QString(64, u'g'), QString()}) {
        const RequestQuery query = buildRequestQuery({u"x"_s}, u"rt"_s, bad, {});
        EXPECT_TRUE(query.setupError) << bad.toStdString();
        EXPECT_EQ(query.text, u"?");
    }
}

TEST(RequestEnvelope, PercentEncodesExactlyTheEighteenCharactersAndPercent) {
    const QString reserved = u"!*'();:@&=+$,/?#[]"_s;
    const QStringList escapes{u"%21"_s, u"%2A"_s, u"%27"_s, u"%28"_s, u"%29"_s, u"%3B"_s, u"%3A"_s, u"%40"_s, u"%26"_s,
                              u"%3D"_s, u"%2B"_s, u"%24"_s, u"%2C"_s, u"%2F"_s, u"%3F"_s, u"%23"_s, u"%5B"_s, u"%5D"_s};
    for (qsizetype i = 0; i < reserved.size(); ++i)
        EXPECT_EQ(percentEncodeQueryValue(u"a" + reserved[i] + u"b"), u"a" + escapes[i] + u"b");
    EXPECT_EQ(percentEncodeQueryValue(u"%2B"_s), u"%252B");
    EXPECT_EQ(percentEncodeQueryValue(u"az-._~ é"_s), u"az-._~ é");
}

} // namespace
} // namespace klv
