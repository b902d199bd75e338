#include "marketing/RewardAnswer.h"

#include "marketing/MarketingOutcome.h"
#include "store/LenientJson.h"

#include <QJsonArray>

namespace klv {

using namespace Qt::StringLiterals;

RewardAnswer RewardAnswer::decode(const QJsonObject &answer) {
    const QJsonValue status = answer.value("status"_L1);
    if (status.isBool() && status.toBool())
        return readContent(answer);
    RewardAnswer refused;
    refused.statusIsBoolean = status.isBool();
    refused.message = json::textOr(answer, "msg"_L1);
    refused.refusal = refusalReason(status, refused.message);
    return refused;
}

RewardAnswer RewardAnswer::readContent(const QJsonObject &answer) {
    RewardAnswer read;
    read.totalSpent = json::doubleOr(answer, "total_spent"_L1);
    if (const QJsonValue data = answer.value("data"_L1); data.isArray()) {
        QList<RewardItem> coupons;
        for (const QJsonValue &entry : data.toArray()) {
            const QJsonObject coupon = entry.toObject();
            coupons.append({json::textOr(coupon, "couponKey"_L1), json::int64Or(coupon, "couponUsedID"_L1)});
        }
        read.coupons = std::move(coupons);
    }
    return read;
}

} // namespace klv
