#include "marketing/RewardTier.h"

#include <cmath>

namespace klv {

using namespace Qt::StringLiterals;

RewardTier RewardTier::describe(int row, double totalSpent, const std::optional<RewardItem> &item) {
    RewardTier tier;
    tier.tier = row + 1;
    tier.threshold = 100 * tier.tier;
    tier.reward = u'$' + QString::number(10 * tier.tier);
    const RewardItem entry = item.value_or(RewardItem{});
    // The copy icon follows the coupon alone, achieved or not.
    tier.showsCopyIcon = !entry.coupon.isEmpty() && entry.orderID == 0;
    tier.coupon = entry.coupon;
    // Reaching a threshold exactly does not achieve its tier.
    if (tier.threshold >= std::trunc(totalSpent)) {
        tier.state = u"Not Achieved"_s;
    } else if (entry.coupon.isEmpty()) {
        tier.state = u"Not Avaliable"_s;
        tier.tone = Tone::orange;
    } else if (entry.orderID != 0) {
        tier.state = u"USED on order "_s + QString::number(entry.orderID);
        tier.tone = Tone::orange;
    } else {
        tier.state = u"Avaliable"_s;
        tier.tone = Tone::green;
    }
    return tier;
}

} // namespace klv
