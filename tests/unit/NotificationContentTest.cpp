#include "store/NotificationContent.h"

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using Action = NotificationContent::Action;

TEST(NotificationContentTest, EachKindTakesItsTextsAndButtons) {
    const auto installed = NotificationContent::make(notificationType::installComplete,
                                                     {{u"Request Data Product Name"_s, u"Kinetic Titles"_s}});
    ASSERT_TRUE(installed);
    EXPECT_EQ(installed->title, u"KLV App");
    EXPECT_EQ(installed->subtitle, u"Kinetic Titles installation complete");
    EXPECT_TRUE(installed->categoryIdentifier.isEmpty());
    EXPECT_TRUE(installed->actions.isEmpty());
    EXPECT_EQ(installed->identifier, u"notificationId");

    const auto sale =
        NotificationContent::make(notificationType::buySale, {{u"Request Data Main String"_s, u"Sale of the Day"_s},
                                                              {u"Request Data Sub String"_s, u"30% Off"_s}});
    ASSERT_TRUE(sale);
    EXPECT_EQ(sale->title, u"Sale of the Day");
    EXPECT_EQ(sale->subtitle, u"30% Off");
    EXPECT_EQ(sale->categoryIdentifier, u"buySale");
    EXPECT_EQ(sale->actions, QList<Action>({{u"buy"_s, u"Buy"_s}}));
    EXPECT_EQ(sale->identifier, installed->identifier) << "a newer notification replaces a pending one";

    const auto update = NotificationContent::make(notificationType::klvAppUpdate, {});
    ASSERT_TRUE(update);
    EXPECT_EQ(update->categoryIdentifier, u"updateApp");
    EXPECT_EQ(update->actions, QList<Action>({{u"later"_s, u"Update Later"_s}, {u"now"_s, u"Update Now"_s}}));

    const auto news = NotificationContent::make(notificationType::news, {{u"Request Data Main String"_s, u"x"_s}});
    ASSERT_TRUE(news);
    EXPECT_TRUE(news->title.isEmpty() && news->subtitle.isEmpty() && news->categoryIdentifier.isEmpty());
}

TEST(NotificationContentTest, MissingOrNonTextUserInfoIsRefused) {
    EXPECT_FALSE(NotificationContent::make(notificationType::installComplete, {}));
    EXPECT_FALSE(
        NotificationContent::make(notificationType::installComplete, {{u"Request Data Product Name"_s, QVariant(42)}}));
    EXPECT_FALSE(
        NotificationContent::make(notificationType::buySale, {{u"Request Data Main String"_s, u"Sale of the Day"_s}}));
    EXPECT_FALSE(NotificationContent::make(notificationType::buySale, {{u"Request Data Sub String"_s, u"30% Off"_s}}));
}

} // namespace
} // namespace klv
