#pragma once

#include <QDateTime>

#include <functional>

namespace klv {

// The current time; tests steer it.
using Clock = std::function<QDateTime()>;

inline Clock systemClock() {
    return [] {
        return QDateTime::currentDateTimeUtc();
    };
}

} // namespace klv
