#pragma once

#include "library/RewardItem.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace klv {

// The store's answer to a reward request ("reward" with tier 0), read as the rewards take it: either a refusal
// and nothing else, or the total spent and, when the answer lists them, the coupons of the tiers.
struct RewardAnswer {
    // Set when the status is anything but the boolean true: why, in words for the customer.
    std::optional<QString> refusal;
    bool statusIsBoolean = true;
    QString message;
    double totalSpent = 0.0;
    // One per tier from the first; nothing when the answer has no "data" array.
    std::optional<QList<RewardItem>> coupons;

    static RewardAnswer decode(const QJsonObject &answer);
    // The content of an answer whose status has been read.
    static RewardAnswer readContent(const QJsonObject &answer);
};

} // namespace klv
