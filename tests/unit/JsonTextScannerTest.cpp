#include "store/JsonTextScanner.h"
#include "library/LibraryAnswer.h"
#include "library/ProductCache.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace klv {
namespace {

// What QJsonDocument makes of the whole text, as the pieces read one by one must make of it too.
std::optional<QJsonArray> parsedWhole(const QByteArray &text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return document.array();
}

std::optional<QJsonArray> parsedByPieces(const QByteArray &text) {
    const auto elements = json::arrayElementTexts(text);
    if (!elements)
        return std::nullopt;
    QJsonArray array;
    for (const QByteArrayView element : *elements) {
        const std::optional<QJsonValue> value = json::parseValue(element);
        if (!value)
            return std::nullopt;
        array.append(*value);
    }
    return array;
}

TEST(JsonTextScanner, ArraysReadByPiecesAgreeWithTheWholeDocument) {
    const QList<QByteArray> texts{
        "[]",
        " \n[ ]\t",
        R"([1,"two",{"three":[3,"]}"]},[[4]],null,true,-5.5e3])",
        R"(["a \"quoted\" ] bracket","back\\slash\\",{"k":"}{"}])",
        R"(["\u00e9t\u00e9","😀"])",
        "[1,]",
        "[,1]",
        "[1 2]",
        "[1,2",
        R"(["unterminated])",
        "[1]]",
        "[1] x",
        "{\"a\":1}",
        R"([{"a":1}{"b":2}])",
        "[nul]",
        "[1,{]",
        "",
    };
    for (const QByteArray &text : texts) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(parsedByPieces(text), parsedWhole(text));
    }
}

TEST(JsonTextScanner, ObjectMembersKeepTheirOrderKeysAndValueTexts) {
    const auto members = json::objectMemberTexts(R"( {"status" : true, "m\u0073g":"a,b}", "data":[1, {"x":"]"}] } )");
    ASSERT_TRUE(members);
    ASSERT_EQ(members->size(), 3);
    EXPECT_EQ((*members)[0].first, u"status"_s);
    EXPECT_EQ((*members)[0].second, "true");
    EXPECT_EQ((*members)[1].first, u"msg"_s) << "keys are unescaped";
    EXPECT_EQ((*members)[1].second, R"("a,b}")");
    EXPECT_EQ((*members)[2].second, R"([1, {"x":"]"}])");
    for (const QByteArray broken : {"{\"a\" 1}", "{\"a\":}", "{a:1}", "{\"a\":1,}", "{\"a\":1", "[]"})
        EXPECT_FALSE(json::objectMemberTexts(broken)) << broken.toStdString();
}

TEST(JsonTextScanner, QuotedTextReadsBackAsItWas) {
    const QString awkward = u"quote \" backslash \\ tab \t newline \n bell \x07 nul "_s + QChar(0) +
                            u" é 😀 \u202e end "_s + QChar(0xd800) + u" lone "_s + QChar(0xdc01);
    QByteArray text("[");
    json::appendQuoted(text, awkward);
    text.append(']');
    const std::optional<QJsonArray> array = parsedWhole(text);
    ASSERT_TRUE(array) << text.toStdString();
    EXPECT_EQ(array->first().toString(), awkward);
}

OutlineViewItem awkwardRecord() {
    OutlineViewItem record;
    record.product_id = 9'007'199'254'740'993; // beyond a double's exact integers
    record.product_name = u"Glow \"Pack\"\n\\ é"_s;
    record.post_name = u"glow-pack"_s;
    record.product_fileSize = -1;
    record.product_location = u"Multiple"_s;
    record.children = {u"A, \"B\""_s, u"]"_s};
    record.isInstalled = true;
    record.parentID = 7;
    record.mainApplicationType = u"FCP"_s;
    return record;
}

TEST(ProductCacheText, RecordsAreWrittenAsTheirDictionariesAndReadBackWhole) {
    OutlineViewItem plain;
    plain.product_name = u"Plain"_s;
    const QList<OutlineViewItem> records{awkwardRecord(), plain};
    const QByteArray text = ProductCache::encode(records);
    const std::optional<QJsonArray> array = parsedWhole(text);
    ASSERT_TRUE(array) << text.toStdString();
    ASSERT_EQ(array->size(), 2);
    EXPECT_EQ(array->at(0).toObject(), productDictionary(records[0]));
    EXPECT_EQ(array->at(1).toObject(), productDictionary(records[1]));
    EXPECT_EQ(ProductCache::decode(text), records);
    EXPECT_EQ(ProductCache::encode({}), "[]");
}

TEST(LibraryAnswerText, ReadByPiecesItYieldsWhatTheParsedAnswerYields) {
    const QList<QByteArray> answers{
        R"({"status":true,"msg":"ok","data":[{"product_id":2,"product_name":"B","lastest":"2026.01.02"},)"
        R"({"product_id":1,"product_name":"A","product_location":"Titles"},{"product_id":2,"product_name":"B"},)"
        R"({"product_id":3},"not an object"]})",
        R"({"status":false,"msg":"Unknown customer","data":[{"product_name":"A"}]})",
        R"({"status":"true","data":[]})",
        R"({"status":true,"data":{"product_name":"A"}})",
        R"({"status":true})",
        R"({"data":[{"product_name":"first"}],"status":true,"data":[{"product_name":"second"}]})",
    };
    for (const QByteArray &text : answers) {
        SCOPED_TRACE(text.toStdString());
        QByteArray body = text;
        const std::optional<LibraryAnswer> read = LibraryAnswer::read(body);
        ASSERT_TRUE(read);
        EXPECT_TRUE(body.isEmpty()) << "the text read is let go";
        const LibraryAnswer decoded = LibraryAnswer::decode(QJsonDocument::fromJson(text).object());
        EXPECT_EQ(read->refusal, decoded.refusal);
        EXPECT_EQ(read->products, decoded.products);
        EXPECT_EQ(read->nameMap, decoded.nameMap);
        EXPECT_EQ(read->latestReleases, decoded.latestReleases);
        EXPECT_EQ(read->namelessObjects, decoded.namelessObjects);
    }
    for (const QByteArray broken : {"", "[]", "<html>Bad gateway</html>", R"({"status":true,"data":[{"a":1},]})",
                                    R"({"status":tru,"data":[]})"}) {
        QByteArray body = broken;
        EXPECT_FALSE(LibraryAnswer::read(body)) << broken.toStdString();
        EXPECT_EQ(body, broken) << "a text that cannot be read stays for the caller to say why";
    }
}

TEST(LibraryText, TextsThatManyRecordsRepeatAreHeldOnce) {
    QByteArray answer = R"({"status":true,"data":[)";
    for (int i = 0; i < 3; ++i)
        answer += (i ? "," : "") + QByteArray(R"({"product_id":)") + QByteArray::number(i + 1) +
                  R"(,"product_name":"P)" + QByteArray::number(i) +
                  R"(","product_location":"Titles","mainApplication":"FCP","lastest":"2026.01.20"})";
    answer += "]}";
    const std::optional<LibraryAnswer> read = LibraryAnswer::read(answer);
    ASSERT_TRUE(read);
    const std::optional<QList<OutlineViewItem>> cached = ProductCache::decode(ProductCache::encode(read->products));
    ASSERT_TRUE(cached);
    for (const QList<OutlineViewItem> &records : {read->products, *cached}) {
        ASSERT_EQ(records.size(), 3);
        for (const OutlineViewItem &record : records) {
            EXPECT_EQ(record.product_location.constData(), records[0].product_location.constData());
            EXPECT_EQ(record.mainApplicationType.constData(), records[0].mainApplicationType.constData());
            EXPECT_EQ(record.latestRelease.constData(), records[0].latestRelease.constData());
        }
    }
}

} // namespace
} // namespace klv
