#include <gtest/gtest.h>

#include <limits>

#include <QJsonDocument>
#include <QJsonObject>

#include "store/LenientJson.h"

using namespace Qt::StringLiterals;
using namespace klv::json;

namespace {

// Values as the store sends them: parsed from JSON text, not built in code.
QJsonObject parsed() {
    static const QByteArray text = R"({
        "yes": true, "no": false, "zero": 0, "one": 1, "oneDotZero": 1.0, "two": 2, "half": 0.5,
        "nineteen": 19, "nineteenDotZero": 19.0, "nineteenAndHalf": 19.5, "negative": -7, "negativeZero": -0.0,
        "digits": "42", "trueText": "true", "nothing": null, "object": {},
        "beyondDouble": 9007199254740993, "int64Max": 9223372036854775807, "int64Min": -9223372036854775808,
        "tooBig": 1e19, "texts": ["a", "", "é"], "mixed": ["a", 1], "emptyList": []
    })";
    return QJsonDocument::fromJson(text).object();
}

QJsonValue at(QLatin1StringView key) {
    return parsed().value(key);
}

} // namespace

TEST(LenientJson, BooleanAcceptsBooleansAndExactlyZeroOrOne) {
    EXPECT_EQ(toBool(at("yes"_L1)), true);
    EXPECT_EQ(toBool(at("no"_L1)), false);
    EXPECT_EQ(toBool(at("one"_L1)), true);
    EXPECT_EQ(toBool(at("oneDotZero"_L1)), true);
    EXPECT_EQ(toBool(at("zero"_L1)), false);

    for (const auto key :
         {"two"_L1, "half"_L1, "negative"_L1, "trueText"_L1, "digits"_L1, "nothing"_L1, "object"_L1, "missing"_L1})
        EXPECT_EQ(toBool(at(key)), std::nullopt) << key.data();
}

TEST(LenientJson, IntegerAcceptsOnlyIntegralNumbers) {
    EXPECT_EQ(toInt64(at("nineteen"_L1)), 19);
    EXPECT_EQ(toInt64(at("nineteenDotZero"_L1)), 19);
    EXPECT_EQ(toInt64(at("negative"_L1)), -7);
    EXPECT_EQ(toInt64(at("negativeZero"_L1)), 0);

    for (const auto key : {"nineteenAndHalf"_L1, "half"_L1, "yes"_L1, "no"_L1, "digits"_L1, "nothing"_L1, "tooBig"_L1,
                           "texts"_L1, "missing"_L1})
        EXPECT_EQ(toInt64(at(key)), std::nullopt) << key.data();
}

TEST(LenientJson, IntegerKeepsEvery64BitDigit) {
    EXPECT_EQ(toInt64(at("beyondDouble"_L1)), Q_INT64_C(9007199254740993));
    EXPECT_EQ(toInt64(at("int64Max"_L1)), std::numeric_limits<qint64>::max());
    EXPECT_EQ(toInt64(at("int64Min"_L1)), std::numeric_limits<qint64>::min());
    EXPECT_EQ(toInt64(QJsonValue(Q_INT64_C(9007199254740993))), Q_INT64_C(9007199254740993));
    // 2^63 is one past the largest qint64.
    EXPECT_EQ(toInt64(QJsonValue(9223372036854775808.0)), std::nullopt);
    EXPECT_EQ(toInt64(QJsonValue(-9223372036854775808.0)), std::numeric_limits<qint64>::min());
}

TEST(LenientJson, DoubleAcceptsAnyNumberButNoBooleanOrText) {
    EXPECT_EQ(toDouble(at("nineteen"_L1)), 19.0);
    EXPECT_EQ(toDouble(at("nineteenAndHalf"_L1)), 19.5);
    EXPECT_EQ(toDouble(at("tooBig"_L1)), 1e19);
    for (const auto key : {"yes"_L1, "digits"_L1, "nothing"_L1, "missing"_L1})
        EXPECT_EQ(toDouble(at(key)), std::nullopt) << key.data();
}

TEST(LenientJson, TextAndTextListAcceptOnlyStrings) {
    EXPECT_EQ(toText(at("digits"_L1)), u"42"_s);
    EXPECT_EQ(toText(at("nineteen"_L1)), std::nullopt);
    EXPECT_EQ(toText(at("nothing"_L1)), std::nullopt);
    EXPECT_EQ(toText(at("texts"_L1)), std::nullopt);

    EXPECT_EQ(toTextList(at("texts"_L1)), (QStringList{u"a"_s, QString(), u"é"_s}));
    EXPECT_EQ(toTextList(at("emptyList"_L1)), QStringList());
    EXPECT_EQ(toTextList(at("mixed"_L1)), std::nullopt);
    EXPECT_EQ(toTextList(at("digits"_L1)), std::nullopt);
    EXPECT_EQ(toTextList(at("missing"_L1)), std::nullopt);
}

TEST(LenientJson, FallbackReplacesMissingAndMistypedValues) {
    const QJsonObject object = parsed();
    EXPECT_TRUE(boolOr(object, "two"_L1, true));
    EXPECT_EQ(int64Or(object, "nineteenAndHalf"_L1, -1), -1);
    EXPECT_EQ(int64Or(object, "beyondDouble"_L1), Q_INT64_C(9007199254740993));
    EXPECT_EQ(doubleOr(object, "digits"_L1, 2.5), 2.5);
    EXPECT_EQ(textOr(object, "missing"_L1, u"x"_s), u"x"_s);
    EXPECT_EQ(textListOr(object, "mixed"_L1), QStringList());
}
