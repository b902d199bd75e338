#include "storeservice/EnvelopeDecoder.h"

#include "StoreEnvelope.h"

#include <gtest/gtest.h>

namespace klv::storeservice {
namespace {

using namespace Qt::StringLiterals;
using Fields = httplib::Params;

const QByteArray keyHex = "6b6c7661707073746f72656b65792d746573742d6f6e6c792d30313233343521";
const QString endpoint = u"/appsecureaccountinfo/"_s;

EnvelopeDecoder decode(const Fields &fields) {
    return EnvelopeDecoder(endpoint, QByteArray::fromHex(keyHex), fields);
}

TEST(EnvelopeDecoderTest, OpensEveryParameterInOrderPastNine) {
    QStringList parameters{
        u"tester"_s,     u"a&b=c+d/e f ÄÖü"_s, u""_s,
        u"  spaced  "_s, u"\uFEFFwith mark"_s, u"a text longer than one block, so the CBC chain counts"_s};
    for (int number = 8; number <= 12; ++number)
        parameters.append(u"value of p%1"_s.arg(number));
    const EnvelopeDecoder opened = decode(test::StoreEnvelope(keyHex, u"userLogin"_s, parameters).fields());

    ASSERT_TRUE(opened.isValid()) << opened.errorString().toStdString();
    EXPECT_EQ(opened.request().endpoint, endpoint);
    EXPECT_EQ(opened.request().requestType, u"userLogin"_s);
    EXPECT_EQ(opened.request().parameters, parameters);
    EXPECT_EQ(opened.request().appVersion, u"3.2.1.57"_s);
}

TEST(EnvelopeDecoderTest, ExplainsMalformedEnvelopes) {
    const test::StoreEnvelope envelope(keyHex, u"userLogin"_s, {u"tester"_s, u"secret"_s});
    const std::string iv = envelope.fields().find("p1")->second;
    const auto replaced = [&](const std::string &name, const std::string &value) {
        Fields fields = envelope.fields();
        fields.erase(name);
        fields.emplace(name, value);
        return fields;
    };
    const auto without = [&](const std::string &name) {
        Fields fields = envelope.fields();
        fields.erase(name);
        return fields;
    };
    const auto with = [&](const std::string &name, const std::string &value) {
        Fields fields = envelope.fields();
        fields.emplace(name, value);
        return fields;
    };
    const std::string otherKeyType =
        test::StoreEnvelope("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff", u"userLogin"_s, {})
            .fields()
            .find("rt")
            ->second;

    const std::pair<Fields, QString> cases[] = {
        {without("p1"), u"p1 (the initialisation vector) is missing"_s},
        {replaced("p1", std::string(32, 'z')), u"p1 is not hexadecimal"_s},
        {replaced("p1", iv + "0"), u"p1 is not hexadecimal"_s},
        {replaced("p1", "0x" + iv), u"p1 is not hexadecimal"_s},
        {replaced("p1", iv.substr(2)), u"not 15 bytes"_s},
        {without("rt"), u"rt (the request type) is missing"_s},
        {replaced("rt", "not*base64"), u"rt is not valid base64"_s},
        {replaced("rt", ""), u"rt is empty"_s},
        {replaced("rt", otherKeyType), u"rt does not decrypt"_s},
        {replaced("p3", QByteArray(8, 'x').toBase64().toStdString()), u"p3 does not decrypt"_s},
        {replaced("p2", envelope.seal("\xff\xfe")), u"p2 does not decrypt to UTF-8"_s},
        {with("p5", envelope.seal("late")), u"p4 is missing"_s},
        {with("p04", envelope.seal("late")), u"p4 is missing"_s},
        {with("p2", envelope.seal("again")), u"p2 appears more than once"_s},
        {without("appV"), u"appV (the app version) is missing"_s},
    };
    for (const auto &[fields, reason] : cases) {
        const EnvelopeDecoder opened = decode(fields);
        EXPECT_FALSE(opened.isValid()) << reason.toStdString();
        EXPECT_TRUE(opened.errorString().contains(reason))
            << reason.toStdString() << ": " << opened.errorString().toStdString();
    }
}

} // namespace
} // namespace klv::storeservice
