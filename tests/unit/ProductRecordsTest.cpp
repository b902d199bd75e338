#include <gtest/gtest.h>

#include <random>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include "library/GroupMembers.h"
#include "library/OnSaleProductInfo.h"
#include "library/OutlineViewItem.h"
#include "library/ProductEnums.h"

using namespace Qt::StringLiterals;
using namespace klv;

namespace {

QJsonObject objectFromText(const QByteArray &text) {
    return QJsonDocument::fromJson(text).object();
}

OutlineViewItem product(const QString &name, const QString &location = u"Effects"_s) {
    OutlineViewItem item;
    item.product_name = name;
    item.product_location = location;
    return item;
}

// Records with every field varied, including ids past 2^53 and texts outside Latin-1.
OutlineViewItem randomRecord(std::mt19937_64 &random) {
    const auto number = [&random] {
        return static_cast<qint64>(random());
    };
    const auto flag = [&random] {
        return random() % 2 == 1;
    };
    const auto text = [&random] {
        static const QStringList pool{QString(), u"Glow"_s, u"Vantory - Glow"_s, u"Café ✨ 😀"_s, u"\"quoted\"\n"_s};
        return pool.at(static_cast<qsizetype>(random() % static_cast<std::uint64_t>(pool.size())));
    };
    OutlineViewItem item;
    item.product_id = number();
    item.product_name = text();
    item.post_name = text();
    item.product_image_url = text();
    item.product_fileSize = number();
    item.product_location = text();
    for (std::uint64_t child = random() % 4; child > 0; --child)
        item.children.append(text());
    item.isInstalled = flag();
    item.isNeedUpdate = flag();
    item.parentID = number();
    item.armCompatiable = flag();
    item.mainApplicationType = text();
    return item;
}

} // namespace

TEST(ProductRecords, ReadsStoreProductDictionary) {
    const OutlineViewItem item = makeOutlineViewItem(objectFromText(R"({
        "product_id": 9007199254740993, "product_name": "Glow", "post_name": "glow-fx",
        "product_image_url": "https://cdn.example/glow.png", "product_fileSize": 5000000000,
        "product_location": "Effects Titles", "children": ["Vantory - A", "B"], "isInstalled": true,
        "isNeedUpdate": false, "parentID": 12, "armCompatiable": true, "mainApplication": "DVR",
        "lastest": "2.0"
    })"));

    EXPECT_EQ(item.product_id, Q_INT64_C(9007199254740993));
    EXPECT_EQ(item.product_name, u"Glow"_s);
    EXPECT_EQ(item.post_name, u"glow-fx"_s);
    EXPECT_EQ(item.product_image_url, u"https://cdn.example/glow.png"_s);
    EXPECT_EQ(item.product_fileSize, Q_INT64_C(5000000000));
    EXPECT_EQ(item.product_location, u"Effects Titles"_s);
    EXPECT_EQ(item.children, (QStringList{u"Vantory - A"_s, u"B"_s}));
    EXPECT_TRUE(item.isInstalled);
    EXPECT_FALSE(item.isNeedUpdate);
    EXPECT_EQ(item.parentID, 12);
    EXPECT_TRUE(item.armCompatiable);
    EXPECT_EQ(item.mainApplicationType, u"DVR"_s);
}

TEST(ProductRecords, MistypedOrMisnamedValuesGiveDefaults) {
    EXPECT_EQ(makeOutlineViewItem({}), OutlineViewItem());

    const OutlineViewItem item = makeOutlineViewItem(objectFromText(R"({
        "product_id": "42", "product_name": 7, "product_fileSize": 1.5, "children": ["A", 2],
        "isInstalled": 1, "isNeedUpdate": 2, "parentID": true, "armCompatiable": "true",
        "mainApplicationType": "DVR"
    })"));
    EXPECT_EQ(item.product_id, 0);
    EXPECT_EQ(item.product_name, QString());
    EXPECT_EQ(item.product_fileSize, 0);
    EXPECT_TRUE(item.children.isEmpty());
    EXPECT_TRUE(item.isInstalled);
    EXPECT_FALSE(item.isNeedUpdate);
    EXPECT_EQ(item.parentID, 0);
    EXPECT_FALSE(item.armCompatiable);
    EXPECT_EQ(item.mainApplicationType, QString());
}

TEST(ProductRecords, DictionaryHasTheTwelveKeysWithJsonTypes) {
    OutlineViewItem item = product(u"Glow"_s);
    item.product_id = Q_INT64_C(9007199254740993);
    item.children = {u"A"_s};
    item.mainApplicationType = u"FCP"_s;
    const QJsonObject dictionary = productDictionary(item);

    QStringList keys = dictionary.keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{u"armCompatiable"_s, u"children"_s, u"isInstalled"_s, u"isNeedUpdate"_s,
                                 u"mainApplication"_s, u"parentID"_s, u"post_name"_s, u"product_fileSize"_s,
                                 u"product_id"_s, u"product_image_url"_s, u"product_location"_s, u"product_name"_s}));
    EXPECT_TRUE(dictionary.value("isInstalled"_L1).isBool());
    EXPECT_TRUE(dictionary.value("parentID"_L1).isDouble());
    EXPECT_EQ(dictionary.value("children"_L1).toArray(), QJsonArray{u"A"_s});
    // The cache stores the dictionary as text; the id must survive it digit for digit.
    EXPECT_TRUE(QJsonDocument(dictionary).toJson().contains("9007199254740993"));
}

TEST(ProductRecords, DictionaryRoundTripKeepsEveryRecord) {
    std::mt19937_64 random(20240601);
    for (int round = 0; round < 300; ++round) {
        const OutlineViewItem item = randomRecord(random);
        const QByteArray cached = QJsonDocument(productDictionary(item)).toJson(QJsonDocument::Compact);
        ASSERT_EQ(makeOutlineViewItem(objectFromText(cached)), item) << cached.constData();
    }
}

TEST(ProductRecords, EqualityAndHashingSeeEveryField) {
    OutlineViewItem group = product(u"Bundle"_s, u"Multiple"_s);
    group.children = {u"A"_s, u"B"_s};
    OutlineViewItem reordered = group;
    reordered.children = {u"B"_s, u"A"_s};
    EXPECT_NE(group, reordered);

    OutlineViewItem installed = group;
    installed.isInstalled = true;
    QSet<OutlineViewItem> found{group, installed, group};
    EXPECT_EQ(found.size(), 2);
    found.subtract(QSet<OutlineViewItem>{installed});
    EXPECT_EQ(found, QSet<OutlineViewItem>{group});

    const OutlineViewItem copy = group;
    EXPECT_EQ(qHash(copy, 7), qHash(group, 7));
}

TEST(ProductRecords, GroupMembersAreFoundByNameWithoutPrefixSkippingGroups) {
    const QList<OutlineViewItem> library{product(u"Glow"_s, u"Multiple"_s), product(u"Blur"_s), product(u"Glow"_s),
                                         product(u"Glow"_s, u"Titles"_s)};

    EXPECT_EQ(findGroupMember(library, u"Vantory - Glow"_s), 2);
    EXPECT_EQ(findGroupMember(library, u"Vantory - Vantory - Blur"_s), 1);
    EXPECT_EQ(findGroupMember(library, u"Glow"_s), 2);
    EXPECT_EQ(findGroupMember(library, u"vantory - Glow"_s), std::nullopt);
    EXPECT_EQ(findGroupMember(library, u"glow"_s), std::nullopt);

    OutlineViewItem group = product(u"Bundle"_s, u"Multiple"_s);
    group.children = {u"Vantory - Glow"_s, u"Vantory - Missing"_s, u"Blur"_s};
    EXPECT_EQ(groupMemberIndexes(library, group), (QList<qsizetype>{2, 1}));
}

TEST(ProductRecords, OnSaleProductReadsExactNumbers) {
    const OnSaleProductInfo info = makeOnSaleProductInfo(objectFromText(R"({
        "product_id": "42", "product_name": "Glow", "product_image": "i", "product_link": "l",
        "product_vimeoID": 9007199254740993, "product_shortDesc": "s", "product_longDesc": "long",
        "product_price": 19, "sale_vimeoID": 19.5, "sale_ammount": 30
    })"));
    EXPECT_EQ(info.product_id, 0);
    EXPECT_EQ(info.product_vimeoID, Q_INT64_C(9007199254740993));
    EXPECT_EQ(info.product_price, 19.0);
    EXPECT_EQ(info.sale_vimeoID, 0);
    EXPECT_EQ(info.sale_ammount, 30);

    EXPECT_EQ(makeOnSaleProductInfo(onSaleProductDictionary(info)), info);
    EXPECT_EQ(makeOnSaleProductInfo({}), OnSaleProductInfo());
    EXPECT_EQ(makeOnSaleProductInfo(objectFromText(R"({"product_price": "19.99"})")).product_price, 0.0);
}

TEST(ProductRecords, OnSaleProductNegativeZeroPriceHashesLikeZero) {
    OnSaleProductInfo zero;
    OnSaleProductInfo negativeZero;
    negativeZero.product_price = -0.0;
    ASSERT_EQ(zero, negativeZero);
    EXPECT_EQ(qHash(zero, 11), qHash(negativeZero, 11));
    EXPECT_EQ((QSet<OnSaleProductInfo>{zero, negativeZero}).size(), 1);

    OnSaleProductInfo pricier = zero;
    pricier.product_price = 0.01;
    EXPECT_EQ((QSet<OnSaleProductInfo>{zero, pricier}).size(), 2);
}
