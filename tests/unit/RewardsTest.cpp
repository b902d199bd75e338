#include "marketing/Rewards.h"

#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

QJsonObject coupon(const QString &key, const QJsonValue &usedOn = 0) {
    return {{u"couponKey"_s, key}, {u"couponUsedID"_s, usedOn}};
}

class RewardsTest : public ::testing::Test {
protected:
    void SetUp() override {
        services = std::make_unique<Services>(Configuration::fromEnvironment(), alerts);
        ASSERT_TRUE(QDir().mkpath(services->locations().logFolderURL));
        rewards = std::make_unique<Rewards>(*services);
    }

    void answer(const QJsonValue &totalSpent, const QJsonArray &data) {
        rewards->setRewardInfo({{u"status"_s, true}, {u"total_spent"_s, totalSpent}, {u"data"_s, data}});
    }
    RewardTier tier(int number) const { return rewards->tiers().at(number - 1); }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    std::unique_ptr<Services> services;
    std::unique_ptr<Rewards> rewards;
};

TEST_F(RewardsTest, ThresholdsNeedLineCoinsAndBarAtTheEdges) {
    QJsonArray allCoupons;
    for (int i = 1; i <= 10; ++i)
        allCoupons.append(coupon(u"KLV-"_s + QString::number(i)));
    struct Case {
        double spent;
        int coins;
        QString need;
        double bar;
        int lastAchievedTier;
    };
    for (const Case &c : QList<Case>{{100, 1, u"$ 100 need"_s, 100, 0},
                                     {350, 3, u"$ 50 need"_s, 350, 3},
                                     {999.99, 9, u"$ 1 need"_s, 999.99, 9},
                                     {1000, 10, u"$ 100 need"_s, 1000, 9},
                                     {1000.5, 10, u"Max Tier Reached"_s, 1000, 9},
                                     {1001, 10, u"Max Tier Reached"_s, 1000, 10},
                                     {25000, 10, u"Max Tier Reached"_s, 1000, 10}}) {
        answer(c.spent, allCoupons);
        EXPECT_EQ(rewards->goldCoinCount(), c.coins) << c.spent;
        EXPECT_EQ(rewards->needText(), c.need) << c.spent;
        EXPECT_EQ(rewards->progressValue(), c.bar) << c.spent;
        for (const RewardTier &row : rewards->tiers()) {
            const bool achieved = row.tier <= c.lastAchievedTier;
            EXPECT_EQ(row.state, achieved ? u"Avaliable"_s : u"Not Achieved"_s) << c.spent << " tier " << row.tier;
            EXPECT_EQ(row.tone, achieved ? RewardTier::Tone::green : RewardTier::Tone::plain);
        }
    }
    EXPECT_EQ(tier(10).threshold, 1000);
    EXPECT_EQ(tier(10).reward, u"$100"_s);
}

TEST_F(RewardsTest, CouponStatesAndCopyIcon) {
    answer(650, QJsonArray{coupon(u"KLV-1"_s, 4711), coupon(u""_s), coupon(u"KLV-3"_s, u"4711"_s),
                           coupon(u"KLV-4"_s, 4711.0), u"not an object"_s, QJsonObject(), coupon(u"KLV-7"_s)});
    EXPECT_EQ(tier(1).state, u"USED on order 4711"_s);
    EXPECT_EQ(tier(1).tone, RewardTier::Tone::orange);
    EXPECT_FALSE(tier(1).showsCopyIcon);
    EXPECT_EQ(tier(2).state, u"Not Avaliable"_s);
    EXPECT_EQ(tier(2).tone, RewardTier::Tone::orange);
    EXPECT_FALSE(tier(2).showsCopyIcon);
    EXPECT_EQ(tier(3).state, u"Avaliable"_s) << "an order number sent as text is no order number";
    EXPECT_TRUE(tier(3).showsCopyIcon);
    EXPECT_EQ(tier(4).state, u"USED on order 4711"_s) << "an integral number is an integer";
    EXPECT_EQ(tier(5).state, u"Not Avaliable"_s);
    EXPECT_EQ(tier(6).state, u"Not Avaliable"_s);
    EXPECT_TRUE(tier(7).showsCopyIcon) << "the icon follows the coupon, achieved or not";
    EXPECT_FALSE(tier(8).showsCopyIcon) << "no entry, no coupon";
    EXPECT_FALSE(rewards->copyRewardCoupon(7)) << "a row past the entries copies nothing";
}

TEST_F(RewardsTest, LaterAnswersReplaceEntriesByIndexAndAnswersWithoutDataKeepThem) {
    answer(450, QJsonArray{coupon(u"A"_s), coupon(u"B"_s), coupon(u"C"_s)});
    answer(450, QJsonArray{coupon(u"A2"_s, 99)});
    EXPECT_EQ(rewards->rewardsArray().value(0), (RewardItem{u"A2"_s, 99}));
    EXPECT_EQ(rewards->rewardsArray().value(2), (RewardItem{u"C"_s, 0})) << "entries past a shorter list stay";

    rewards->setRewardInfo({{u"status"_s, true}, {u"total_spent"_s, 1001}});
    EXPECT_EQ(rewards->rewardsArray().size(), 3);
    EXPECT_EQ(tier(2).state, u"Avaliable"_s);
    answer(u"800"_s, {});
    EXPECT_EQ(rewards->totalSpent(), 0.0) << "a total sent as text is no total";

    QFile log(services->locations().logFileURL);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("the reward answer has no data array; the previous reward tiers are kept"));
}

} // namespace
} // namespace klv
