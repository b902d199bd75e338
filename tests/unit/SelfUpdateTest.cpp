#include "update/SelfUpdate.h"

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

struct VersionCase {
    QString installed;
    QString offered;
    std::weak_ordering expected;
};

std::string describe(std::weak_ordering order) {
    return std::is_gt(order) ? "newer" : std::is_lt(order) ? "older" : "equal";
}

TEST(CompareVersionsTest, NumericPaddedAndEmptyVersions) {
    const QList<VersionCase> cases{
        {u"1.2.9"_s, u"1.2.10"_s, std::weak_ordering::greater},
        {u"1.2"_s, u"1.2.0"_s, std::weak_ordering::equivalent},
        {u"1.2.0"_s, u"1.2"_s, std::weak_ordering::equivalent},
        {u"1.3"_s, u"1.2.9"_s, std::weak_ordering::less},
        {u"2.0.1.57"_s, u"2.0.1.57"_s, std::weak_ordering::equivalent},
        {u"2.0.1.57"_s, u"2.0.1.100"_s, std::weak_ordering::greater},
        {u"2.0.1.100"_s, u"2.0.1.57"_s, std::weak_ordering::less},
        // No version from the store never counts as newer.
        {u"1.0.0.1"_s, u""_s, std::weak_ordering::less},
        {u""_s, u""_s, std::weak_ordering::equivalent},
        // Digit runs compare by value however long, leading zeros aside.
        {u"1.99999999999999999999"_s, u"1.100000000000000000000"_s, std::weak_ordering::greater},
        {u"1.02"_s, u"1.2"_s, std::weak_ordering::equivalent},
        // A padding "0" meets a longer list's last component, which may be more than a number.
        {u"1.0"_s, u"1.0.1"_s, std::weak_ordering::greater},
        {u"1.0.0"_s, u"1.0.0.0.1"_s, std::weak_ordering::greater},
        {u"1.0.1"_s, u"1.0.1b"_s, std::weak_ordering::greater},
    };
    for (const VersionCase &c : cases) {
        EXPECT_EQ(compareVersions(c.installed, c.offered), c.expected)
            << c.installed.toStdString() << " vs " << c.offered.toStdString() << ": expected " << describe(c.expected)
            << ", got " << describe(compareVersions(c.installed, c.offered));
    }
}

} // namespace
} // namespace klv
