#include "storeservice/MarketingRequests.h"

#include <memory>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QTimeZone>

#include "storeservice/CatalogLookup.h"

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

constexpr int tierCount = 10;

// A sale that ends "{tomorrow}" ends at the store's next midnight whatever the day, as a sale of the day does: the
// demo's countdown then reads hours, not years.
QJsonValue withSaleEnd(const QJsonValue &saleInfo) {
    QJsonObject info = saleInfo.toObject();
    if (!saleInfo.isObject() || info.value(u"end_date"_s) != u"{tomorrow}"_s)
        return saleInfo;
    const QDate today = QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone("America/Los_Angeles")).date();
    info.insert(u"end_date"_s, today.addDays(1).toString(Qt::ISODate));
    return info;
}

QJsonArray withStoreUrl(const QJsonValue &products, const QString &storeUrl) {
    QJsonArray array = products.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        QJsonObject product = array.at(i).toObject();
        const QJsonValue picture = product.value(u"product_image"_s);
        if (!array.at(i).isObject() || !picture.isString()) {
            continue;
        }
        product.insert(u"product_image"_s, CatalogLookup::withStoreUrl(picture, storeUrl));
        array[i] = product;
    }
    return array;
}

// The catalog's "marketing" object, or why there is none.
std::optional<QJsonObject> marketing(Catalog &catalog) {
    const QJsonValue value = catalog.content().value(u"marketing"_s);
    if (!value.isObject()) {
        return std::nullopt;
    }
    return value.toObject();
}

// The tier number of a claim, 1 to 10.
std::optional<int> claimedTier(const QString &text) {
    bool isNumber = false;
    const int tier = text.toInt(&isNumber);
    if (!isNumber || tier < 1 || tier > tierCount || text != QString::number(tier)) {
        return std::nullopt;
    }
    return tier;
}

} // namespace

void MarketingRequests::registerWith(RequestRouter &router, const QString &endpoint) {
    router.addHandler(endpoint, u"marketingInfo"_s, &MarketingRequests::marketingInfo);
    router.addHandler(endpoint, u"saleInfo"_s, &MarketingRequests::saleInfo);
    // The claims live as long as the router's handlers.
    auto requests = std::make_shared<MarketingRequests>();
    router.addHandler(endpoint, u"reward"_s, [requests](const DecodedRequest &request, Catalog &catalog) {
        return requests->reward(request, catalog);
    });
}

StoreAnswer MarketingRequests::marketingInfo(const DecodedRequest &request, Catalog &catalog) {
    if (!request.parameters.isEmpty()) {
        return StoreAnswer::failure(u"marketingInfo takes no parameters, got %1"_s.arg(request.parameters.size()));
    }
    const auto content = marketing(catalog);
    if (!content) {
        return StoreAnswer::failure(u"No marketing information"_s);
    }
    if (auto answer = CatalogLookup::scripted(*content, request.requestType)) {
        return *answer;
    }
    // Passed on as stored, wrong types included, so a catalog can send what a real store should not.
    QJsonObject answer{{u"status"_s, true}, {u"msg"_s, u"Marketing information"_s}};
    if (content->contains(u"saleItemsInfo"_s)) {
        answer.insert(u"saleItemsInfo"_s, withStoreUrl(content->value(u"saleItemsInfo"_s), request.storeUrl));
    }
    if (content->contains(u"saleInfo"_s)) {
        answer.insert(u"saleInfo"_s, withSaleEnd(content->value(u"saleInfo"_s)));
    }
    if (content->contains(u"freeItemInfo"_s)) {
        answer.insert(u"freeItemInfo"_s, withStoreUrl(content->value(u"freeItemInfo"_s), request.storeUrl));
    }
    return StoreAnswer::object(answer);
}

StoreAnswer MarketingRequests::saleInfo(const DecodedRequest &request, Catalog &catalog) {
    if (!request.parameters.isEmpty()) {
        return StoreAnswer::failure(u"saleInfo takes no parameters, got %1"_s.arg(request.parameters.size()));
    }
    const auto content = marketing(catalog);
    if (!content) {
        return StoreAnswer::failure(u"No marketing information"_s);
    }
    if (auto answer = CatalogLookup::scripted(*content, request.requestType)) {
        return *answer;
    }
    QJsonObject answer{{u"status"_s, true}, {u"msg"_s, u"Sale information"_s}};
    if (content->contains(u"saleInfo"_s)) {
        answer.insert(u"data"_s, withSaleEnd(content->value(u"saleInfo"_s)));
    }
    return StoreAnswer::object(answer);
}

StoreAnswer MarketingRequests::reward(const DecodedRequest &request, Catalog &catalog) {
    if (request.parameters.size() != 2) {
        return StoreAnswer::failure(
            u"reward takes p2 (the customer's e-mail) and p3 (\"0\" or a tier 1 to 10), got %1 parameters"_s.arg(
                request.parameters.size()));
    }
    const QString &email = request.parameters.at(0);
    const QString &which = request.parameters.at(1);
    const std::optional<int> tier = claimedTier(which);
    if (which != u"0"_s && !tier) {
        return StoreAnswer::failure(u"reward expects p3 \"0\" or a tier 1 to 10, got \"%1\""_s.arg(which));
    }
    const auto account = CatalogLookup::account(catalog.content(), email);
    if (!account) {
        return StoreAnswer::failure(u"Unknown customer e-mail"_s);
    }
    if (auto answer = CatalogLookup::scripted(*account, request.requestType)) {
        return *answer;
    }
    const QJsonObject rewards = account->value(u"rewards"_s).toObject();
    return tier ? claim(email, rewards, *tier) : rewardInfo(email, rewards);
}

QJsonArray MarketingRequests::coupons(const QString &email, const QJsonObject &rewards) {
    QJsonArray data = rewards.value(u"data"_s).toArray();
    const QJsonValue order = rewards.value(u"claimMarksOrder"_s);
    if (!order.isDouble()) {
        return data;
    }
    const std::lock_guard lock(m_mutex);
    for (const int tier : m_claimedTiers.value(email)) {
        if (tier <= data.size()) {
            QJsonObject coupon = data.at(tier - 1).toObject();
            coupon.insert(u"couponUsedID"_s, order);
            data[tier - 1] = coupon;
        }
    }
    return data;
}

StoreAnswer MarketingRequests::rewardInfo(const QString &email, const QJsonObject &rewards) {
    // The total is passed on as stored, so a catalog can send a text where a number belongs.
    return StoreAnswer::object(
        {{u"status"_s, true},
         {u"msg"_s, u"Reward information"_s},
         {u"total_spent"_s,
          rewards.value(u"total_spent"_s).isUndefined() ? QJsonValue(0) : rewards.value(u"total_spent"_s)},
         {u"data"_s, coupons(email, rewards)}});
}

StoreAnswer MarketingRequests::claim(const QString &email, const QJsonObject &rewards, int tier) {
    const QJsonObject coupon = coupons(email, rewards).at(tier - 1).toObject();
    const QJsonValue key = coupon.value(u"couponKey"_s);
    if (!key.isString() || key.toString().isEmpty()) {
        return StoreAnswer::failure(u"There is no coupon for tier %1"_s.arg(tier));
    }
    if (coupon.value(u"couponUsedID"_s).toInteger() != 0) {
        return StoreAnswer::failure(u"The coupon for tier %1 was already used"_s.arg(tier));
    }
    const std::lock_guard lock(m_mutex);
    m_claimedTiers[email].insert(tier);
    return StoreAnswer::object({{u"status"_s, true}, {u"msg"_s, u"Coupon for tier %1 claimed"_s.arg(tier)}});
}

} // namespace klv::storeservice
