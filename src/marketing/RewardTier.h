#pragma once

#include "library/RewardItem.h"

#include <QString>

#include <optional>

namespace klv {

// One row of the rewards table: tier k is reached by spending more than 100 × k dollars and is worth 10 × k.
struct RewardTier {
    // How the state text is drawn.
    enum class Tone { plain, orange, green };

    int tier = 0;
    int threshold = 0;
    // "$20" for tier 2.
    QString reward;
    // "Not Achieved", "Not Avaliable", "USED on order N" or "Avaliable".
    QString state;
    Tone tone = Tone::plain;
    // Whether the row offers to copy (and so claim) the coupon.
    bool showsCopyIcon = false;
    // The coupon's code, used or not, when the store sent one.
    QString coupon;

    // row 0 is tier 1; item is the tier's coupon entry, if the store sent one.
    static RewardTier describe(int row, double totalSpent, const std::optional<RewardItem> &item);

    friend bool operator==(const RewardTier &, const RewardTier &) = default;
};

} // namespace klv
