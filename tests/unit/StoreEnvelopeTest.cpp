#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <httplib.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "EnvelopeDecoder.h"

using klv::storeservice::EnvelopeDecoder;
using namespace Qt::StringLiterals;

namespace {

const QString keyHex = u"6b6c7661707073746f72656b65792d746573742d6f6e6c792d30313233343521"_s;
const QString otherKeyHex = u"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"_s;
const QString ivHex = u"0f1e2d3c4b5a69788796a5b4c3d2e1f0"_s;
const QString endpoint = u"/appsecureaccountinfo/"_s;

QByteArray key() {
    return QByteArray::fromHex(keyHex.toLatin1());
}

// The openssl command is an implementation independent of ours, so a shared misunderstanding cannot hide.
std::string opensslEncrypt(const QByteArray &plain, const QString &withKeyHex = keyHex) {
    QProcess openssl;
    openssl.start(u"openssl"_s,
                  {u"enc"_s, u"-aes-256-cbc"_s, u"-K"_s, withKeyHex, u"-iv"_s, ivHex, u"-base64"_s, u"-A"_s});
    openssl.write(plain);
    openssl.closeWriteChannel();
    const bool finished = openssl.waitForFinished(10'000);
    EXPECT_TRUE(finished && openssl.exitCode() == 0) << openssl.readAllStandardError().toStdString();
    return openssl.readAllStandardOutput().trimmed().toStdString();
}

httplib::Params envelope(const QString &requestType, const QStringList &parameters) {
    httplib::Params query{
        {"p1", ivHex.toStdString()}, {"rt", opensslEncrypt(requestType.toUtf8())}, {"appV", "3.2.1.57"}};
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        query.emplace("p" + std::to_string(i + 2), opensslEncrypt(parameters.at(i).toUtf8()));
    }
    return query;
}

} // namespace

TEST(StoreEnvelopeTest, OpensValuesThatOpensslEncrypted) {
    const QStringList parameters{
        u"tester"_s,     u"a&b=c+d/e f ÄÖü"_s, u""_s,
        u"  spaced  "_s, u"\uFEFFwith mark"_s, u"a text longer than one block, so the CBC chain is exercised"_s};
    const EnvelopeDecoder envelopeOpened(endpoint, key(), envelope(u"userLogin"_s, parameters));

    ASSERT_TRUE(envelopeOpened.isValid()) << envelopeOpened.errorString().toStdString();
    EXPECT_EQ(envelopeOpened.request().endpoint, endpoint);
    EXPECT_EQ(envelopeOpened.request().requestType, u"userLogin"_s);
    EXPECT_EQ(envelopeOpened.request().parameters, parameters);
    EXPECT_EQ(envelopeOpened.request().appVersion, u"3.2.1.57"_s);
}

TEST(StoreEnvelopeTest, EmptyTextIsOnePaddedBlock) {
    const std::string empty = opensslEncrypt({});
    ASSERT_EQ(empty.size(), 24U);
    EXPECT_EQ(empty.substr(22), "==");

    const EnvelopeDecoder opened(endpoint, key(), envelope(u"linkCode"_s, {u""_s}));
    ASSERT_TRUE(opened.isValid()) << opened.errorString().toStdString();
    EXPECT_EQ(opened.request().parameters, QStringList{QString()});
}

TEST(StoreEnvelopeTest, KeepsParameterOrderPastNine) {
    QStringList parameters;
    for (int number = 2; number <= 12; ++number) {
        parameters.append(u"value of p%1"_s.arg(number));
    }
    const EnvelopeDecoder opened(endpoint, key(), envelope(u"requestDownloadInfo"_s, parameters));

    ASSERT_TRUE(opened.isValid()) << opened.errorString().toStdString();
    EXPECT_EQ(opened.request().parameters, parameters);
}

TEST(StoreEnvelopeTest, ExplainsMalformedEnvelopes) {
    const httplib::Params valid = envelope(u"userLogin"_s, {u"tester"_s, u"secret"_s});
    const auto replaced = [&valid](const std::string &name, const std::string &value) {
        httplib::Params query = valid;
        query.erase(name);
        query.emplace(name, value);
        return query;
    };
    const auto without = [&valid](const std::string &name) {
        httplib::Params query = valid;
        query.erase(name);
        return query;
    };
    const auto with = [&valid](const std::string &name, const std::string &value) {
        httplib::Params query = valid;
        query.emplace(name, value);
        return query;
    };

    struct Case {
        const char *what;
        httplib::Params query;
        QString reason;
    };
    const Case cases[] = {
        {"no IV", without("p1"), u"p1 (the initialisation vector) is missing"_s},
        {"IV not hexadecimal", replaced("p1", std::string(32, 'z')), u"p1 is not hexadecimal"_s},
        {"IV with an odd digit count", replaced("p1", ivHex.toStdString() + "0"), u"p1 is not hexadecimal"_s},
        {"IV with a 0x prefix", replaced("p1", "0x" + ivHex.toStdString()), u"p1 is not hexadecimal"_s},
        {"IV of 15 bytes", replaced("p1", ivHex.toStdString().substr(2)), u"not 15 bytes"_s},
        {"no request type", without("rt"), u"rt (the request type) is missing"_s},
        {"request type not base64", replaced("rt", "not*base64"), u"rt is not valid base64"_s},
        {"request type sent empty", replaced("rt", ""), u"rt is empty"_s},
        {"request type under another key", replaced("rt", opensslEncrypt("userLogin", otherKeyHex)),
         u"rt does not decrypt"_s},
        {"cut ciphertext", replaced("p3", QByteArray(8, 'x').toBase64().toStdString()), u"p3 does not decrypt"_s},
        {"plain text that is not UTF-8", replaced("p2", opensslEncrypt("\xff\xfe")), u"p2 does not decrypt to UTF-8"_s},
        {"gap in the numbering", with("p5", opensslEncrypt("late")), u"p4 is missing"_s},
        {"oddly numbered parameter", with("p04", opensslEncrypt("late")), u"p4 is missing"_s},
        {"parameter given twice", with("p2", opensslEncrypt("again")), u"p2 appears more than once"_s},
        {"no app version", without("appV"), u"appV (the app version) is missing"_s},
    };
    for (const Case &malformed : cases) {
        const EnvelopeDecoder opened(endpoint, key(), malformed.query);
        EXPECT_FALSE(opened.isValid()) << malformed.what;
        EXPECT_TRUE(opened.errorString().contains(malformed.reason))
            << malformed.what << ": " << opened.errorString().toStdString();
    }
}
