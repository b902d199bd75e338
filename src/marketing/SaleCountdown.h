#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

namespace klv {

// Time left until the sale ends, split the way a calendar splits a difference: whole calendar days first, then
// hours, minutes and seconds of the remainder. Every component is negative once the end has passed.
struct SaleCountdown {
    qint64 days = 0;
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 seconds = 0;

    // The sale ends at the midnight that starts endDate ("yyyy-MM-dd") in the store's Pacific time; an
    // unreadable date counts as ending now. Days are counted on the calendar of calendarZone.
    static SaleCountdown until(const QString &endDate, const QDateTime &now, const QTimeZone &calendarZone);
    static SaleCountdown between(const QDateTime &from, const QDateTime &to, const QTimeZone &calendarZone);

    // For example "30% OFF - 1d : 4h : 15m : 9s".
    QString text(qint64 discountPercent) const;

    friend bool operator==(const SaleCountdown &, const SaleCountdown &) = default;
};

} // namespace klv
