#pragma once

#include <mutex>

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include "storeservice/Catalog.h"
#include "storeservice/DecodedRequest.h"
#include "storeservice/RequestRouter.h"
#include "storeservice/StoreAnswer.h"

namespace klv::storeservice {

// The marketing service: the sale of the day and the free products ("marketingInfo", "saleInfo") from the
// catalog's "marketing" object, and the reward programme ("reward", p2 the customer's e-mail, p3 "0" to ask or the
// tier "1" to "10" to claim) from the account's "rewards". "{store}" in a product's "product_image" becomes the
// address the client reached the store at. Claims are remembered while the store runs: with the account's
// "claimMarksOrder" set, a claimed tier is reported as used on that order, and a used coupon cannot be claimed. The
// marketing object's and the account's "answers" script the answer per request type.
class MarketingRequests final {
public:
    static void registerWith(RequestRouter &router, const QString &endpoint);

private:
    static StoreAnswer marketingInfo(const DecodedRequest &request, Catalog &catalog);
    static StoreAnswer saleInfo(const DecodedRequest &request, Catalog &catalog);
    StoreAnswer reward(const DecodedRequest &request, Catalog &catalog);
    // The account's coupons, with the tiers claimed so far marked used when the account asks for that.
    QJsonArray coupons(const QString &email, const QJsonObject &rewards);
    StoreAnswer rewardInfo(const QString &email, const QJsonObject &rewards);
    StoreAnswer claim(const QString &email, const QJsonObject &rewards, int tier);

    // Handlers run on the server's worker threads.
    std::mutex m_mutex;
    QHash<QString, QSet<int>> m_claimedTiers;
};

} // namespace klv::storeservice
