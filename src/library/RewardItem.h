#pragma once

#include <QString>

namespace klv {

struct RewardItem {
    QString coupon;
    qint64 orderID = 0;

    friend bool operator==(const RewardItem &, const RewardItem &) = default;
};

} // namespace klv
