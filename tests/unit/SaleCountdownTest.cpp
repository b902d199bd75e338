#include "marketing/SaleCountdown.h"

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

const QTimeZone pacific("America/Los_Angeles");
const QTimeZone utc = QTimeZone::utc();

QDateTime pacificTime(int year, int month, int day, int hour, int minute = 0, int second = 0, int msec = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec), pacific);
}

SaleCountdown countdown(qint64 days, qint64 hours, qint64 minutes, qint64 seconds) {
    return {days, hours, minutes, seconds};
}

TEST(SaleCountdownTest, CountsToPacificMidnightStartingTheEndDate) {
    EXPECT_EQ(SaleCountdown::until(u"2024-06-03"_s, pacificTime(2024, 6, 1, 3), pacific), countdown(1, 21, 0, 0));
    // The same moment seen from UTC: the end is 07:00 there.
    EXPECT_EQ(SaleCountdown::until(u"2024-06-03"_s, pacificTime(2024, 6, 1, 3).toUTC(), utc), countdown(1, 21, 0, 0));
    EXPECT_EQ(SaleCountdown::until(u"2024-06-03"_s, pacificTime(2024, 6, 2, 23, 59, 59), pacific),
              countdown(0, 0, 0, 1));
    EXPECT_EQ(SaleCountdown::until(u"2024-06-03"_s, pacificTime(2024, 6, 3, 0), pacific), SaleCountdown{});
    EXPECT_EQ(SaleCountdown::until(u"2024-06-03"_s, pacificTime(2024, 6, 3, 0, 0, 1), pacific), countdown(0, 0, 0, -1))
        << "the end of the day is not the end of the sale";
    // Fractions of a second are dropped, not rounded.
    EXPECT_EQ(SaleCountdown::until(u"2024-06-03"_s, pacificTime(2024, 6, 2, 23, 59, 58, 900), pacific),
              countdown(0, 0, 0, 1));
}

TEST(SaleCountdownTest, DaysFollowTheCalendarAcrossClockChanges) {
    // 35 hours before the end, across the spring change: one calendar day of 23 hours, then 12 hours.
    const QDateTime spring = pacificTime(2024, 3, 9, 12);
    EXPECT_EQ(SaleCountdown::until(u"2024-03-11"_s, spring, pacific), countdown(1, 12, 0, 0));
    EXPECT_EQ(SaleCountdown::until(u"2024-03-11"_s, spring, utc), countdown(1, 11, 0, 0));
    // 37 hours across the autumn change.
    const QDateTime autumn = pacificTime(2024, 11, 2, 12);
    EXPECT_EQ(SaleCountdown::until(u"2024-11-04"_s, autumn, pacific), countdown(1, 12, 0, 0));
    EXPECT_EQ(SaleCountdown::until(u"2024-11-04"_s, autumn, utc), countdown(1, 13, 0, 0));
    // Over a year with both changes, a leap day included.
    EXPECT_EQ(SaleCountdown::until(u"2025-02-05"_s, pacificTime(2024, 1, 1, 0), pacific), countdown(401, 0, 0, 0));
    EXPECT_EQ(SaleCountdown::until(u"2024-01-01"_s, pacificTime(2025, 2, 5, 0), pacific), countdown(-401, 0, 0, 0));
}

TEST(SaleCountdownTest, PastEndGivesNegativeComponentsAndUnreadableDatesGiveZeros) {
    const SaleCountdown past = SaleCountdown::until(u"2024-06-03"_s, pacificTime(2024, 6, 4, 3, 5, 2), pacific);
    EXPECT_EQ(past, countdown(-1, -3, -5, -2));
    EXPECT_EQ(past.text(30), u"30% OFF - -1d : -3h : -5m : -2s"_s);
    // Back across the spring change: a calendar day to 03-10 12:00, then 11 hours of that 23-hour day.
    EXPECT_EQ(SaleCountdown::until(u"2024-03-10"_s, pacificTime(2024, 3, 11, 12), pacific), countdown(-1, -11, 0, 0));

    for (const QString &unreadable :
         {u""_s, u"2024-6-3"_s, u"2024-02-30"_s, u"2024-06-03T00:00"_s, u" 2024-06-03"_s, u"tomorrow"_s}) {
        EXPECT_EQ(SaleCountdown::until(unreadable, pacificTime(2024, 6, 1, 3), pacific).text(30),
                  u"30% OFF - 0d : 0h : 0m : 0s"_s)
            << unreadable.toStdString();
    }
}

} // namespace
} // namespace klv
