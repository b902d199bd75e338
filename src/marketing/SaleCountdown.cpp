#include "marketing/SaleCountdown.h"

#include <QDate>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 msecsPerDay = 86'400'000;

} // namespace

SaleCountdown SaleCountdown::until(const QString &endDate, const QDateTime &now, const QTimeZone &calendarZone) {
    const QDate date = QDate::fromString(endDate, u"yyyy-MM-dd"_s);
    if (!date.isValid())
        return {};
    // The store's "PST" follows daylight saving time.
    const QDateTime end(date, QTime(0, 0), QTimeZone("America/Los_Angeles"));
    return between(now, end, calendarZone);
}

SaleCountdown SaleCountdown::between(const QDateTime &from, const QDateTime &to, const QTimeZone &calendarZone) {
    // Adding a day keeps the wall-clock time in the calendar's zone, so a day across a clock change is 23 or
    // 25 hours long.
    const QDateTime start = from.toTimeZone(calendarZone);
    const QDateTime end = to.toTimeZone(calendarZone);
    const bool forward = start <= end;
    qint64 days = start.msecsTo(end) / msecsPerDay;
    if (forward) {
        while (days > 0 && start.addDays(days) > end)
            --days;
        while (start.addDays(days + 1) <= end)
            ++days;
    } else {
        while (days < 0 && start.addDays(days) < end)
            ++days;
        while (start.addDays(days - 1) >= end)
            --days;
    }
    // Whole seconds, truncated towards zero like the calendar's components.
    const qint64 rest = start.addDays(days).msecsTo(end) / 1000;
    return {days, rest / 3600, rest % 3600 / 60, rest % 60};
}

QString SaleCountdown::text(qint64 discountPercent) const {
    return QString::number(discountPercent) + u"% OFF - "_s + QString::number(days) + u"d : "_s +
           QString::number(hours) + u"h : "_s + QString::number(minutes) + u"m : "_s + QString::number(seconds) +
           u"s"_s;
}

} // namespace klv
