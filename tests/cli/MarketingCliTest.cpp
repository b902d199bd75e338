#include "SignedInKlvTest.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

class MarketingCliTest : public SignedInKlvTest {
protected:
    MarketingCliTest()
        : SignedInKlvTest(fixtureFolder(u"marketing"_s)) {}

    QJsonObject jsonOf(const QStringList &arguments) const {
        const CliResult result = klv(arguments + QStringList{u"--json"_s});
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        return QJsonDocument::fromJson(result.out.toUtf8()).object();
    }
    void editMarketing(const std::function<void(QJsonObject &)> &edit) const {
        editCatalog([&](QJsonObject &root) {
            QJsonObject marketing = root[u"marketing"].toObject();
            edit(marketing);
            root[u"marketing"] = marketing;
        });
    }
    QString logText() const {
        QFile file(home.filePath(u".local/share/klv-app/Applications/Vantory/Log/KLVAppLog.txt"_s));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QList<QJsonArray> rewardRequests() const {
        QList<QJsonArray> parameters;
        for (const QJsonObject &request : store.requestLog()) {
            if (request[u"rt"] == u"reward"_s)
                parameters.append(request[u"params"].toArray());
        }
        return parameters;
    }
    static QStringList names(const QJsonArray &products) {
        QStringList result;
        for (const QJsonValue &product : products)
            result << product[u"name"].toString();
        return result;
    }
};

TEST_F(MarketingCliTest, SaleShowsTitleCountdownAndProductsAndFollowsTheCatalog) {
    const CliResult sale = klv({u"sale"_s});
    ASSERT_EQ(sale.exitCode, 0) << sale.err.toStdString();
    const QStringList lines = sale.out.trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 6) << sale.out.toStdString();
    EXPECT_EQ(lines[0], u"Sale of the Day"_s);
    EXPECT_TRUE(QRegularExpression(u"^30% OFF - \\d+d : \\d+h : \\d+m : \\d+s$"_s).match(lines[1]).hasMatch())
        << lines[1].toStdString();
    EXPECT_EQ(lines.mid(2), (QStringList{u"  Aurora Glow"_s, u"      Soft light leaks for titles"_s,
                                         u"  Cinematic Bars"_s, u"      Letterbox bars in every ratio"_s}));

    EXPECT_EQ(jsonOf({u"sale"_s})[u"products"][0][u"imageAddress"].toString(),
              store.url() + u"/files/pictures/aurora.png");

    editMarketing([](QJsonObject &marketing) {
        marketing[u"saleInfo"] = QJsonObject{{u"sale_title"_s, u"Throw Back Thursday"_s},
                                             {u"discount_amount"_s, u"+45"_s},
                                             {u"end_date"_s, u"2000-01-01"_s}};
    });
    const QJsonObject past = jsonOf({u"sale"_s});
    EXPECT_EQ(past[u"discountPercent"], 45);
    EXPECT_TRUE(QRegularExpression(u"^45% OFF - -\\d+d : -?\\d+h : -?\\d+m : -?\\d+s$"_s)
                    .match(past[u"countdown"].toString())
                    .hasMatch())
        << past[u"countdown"].toString().toStdString();

    // A catalog's "{tomorrow}" ends the sale at the store's next midnight: less than a day to go.
    editMarketing([](QJsonObject &marketing) {
        marketing[u"saleInfo"] = QJsonObject{{u"discount_amount"_s, u"20"_s}, {u"end_date"_s, u"{tomorrow}"_s}};
    });
    const QString endsTomorrow = jsonOf({u"sale"_s})[u"countdown"].toString();
    EXPECT_TRUE(QRegularExpression(u"^20% OFF - 0d : \\d+h : \\d+m : \\d+s$"_s).match(endsTomorrow).hasMatch())
        << endsTomorrow.toStdString();

    editMarketing([](QJsonObject &marketing) {
        marketing[u"saleInfo"] = QJsonObject{{u"discount_amount"_s, u"45"_s}, {u"end_date"_s, u"31.12.2099"_s}};
        marketing[u"saleItemsInfo"] = QJsonArray();
    });
    const CliResult empty = klv({u"sale"_s});
    EXPECT_EQ(empty.out, u"No sale today\nWe always have our bundle discount. Buy 5 or more products for 25% off\n"_s);
    EXPECT_EQ(jsonOf({u"sale"_s})[u"countdown"], u"45% OFF - 0d : 0h : 0m : 0s"_s);
}

TEST_F(MarketingCliTest, FreeLeavesOutWhatTheCustomerOwns) {
    const CliResult free = klv({u"free"_s});
    EXPECT_EQ(free.exitCode, 0) << free.err.toStdString();
    EXPECT_EQ(free.out, u"Free Flares\n    Lens flares to start with\n"_s);

    // A new customer signs in after the last one signed out, so the library is theirs.
    ASSERT_EQ(klv({u"logout"_s}).exitCode, 0);
    ASSERT_EQ(signInAs(u"collector"_s).exitCode, 0);
    EXPECT_EQ(klv({u"free"_s}).out, u"Hurray you got all the freebies\n"_s);

    ASSERT_EQ(klv({u"logout"_s}).exitCode, 0);
    const CliResult signedOut = klv({u"free"_s, u"--json"_s});
    EXPECT_EQ(names(QJsonDocument::fromJson(signedOut.out.toUtf8())[u"products"].toArray()),
              (QStringList{u"Free Flares"_s, u"Free Grain"_s}));
}

TEST_F(MarketingCliTest, RewardsShowCoinsNeedLineAndTierStates) {
    const CliResult rewards = klv({u"rewards"_s});
    ASSERT_EQ(rewards.exitCode, 0) << rewards.err.toStdString();
    const QStringList lines = rewards.out.trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 12) << rewards.out.toStdString();
    EXPECT_EQ(lines[0], u"Spent $450.50; 4 of 10 coins."_s);
    EXPECT_EQ(lines[1], u"$ 50 need"_s);
    // Each coupon's code is shown, used or not, as the window's rows show it.
    EXPECT_EQ(lines[2], u"  100  $10   Avaliable           KLV-T1-AAAA  (klv claim 1)"_s);
    EXPECT_EQ(lines[3], u"  200  $20   USED on order 4711  KLV-T2-BBBB"_s);
    EXPECT_EQ(lines[5], u"  400  $40   Not Avaliable"_s);
    EXPECT_EQ(lines[6], u"  500  $50   Not Achieved        KLV-T5-EEEE  (klv claim 5)"_s)
        << "the copy button follows the coupon alone";
    EXPECT_EQ(lines[11], u" 1000  $100  Not Achieved"_s);
    EXPECT_EQ(rewardRequests().last(), (QJsonArray{u"tester@klv.example"_s, u"0"_s}));
}

TEST_F(MarketingCliTest, ClaimSendsTheTierOnceAndTheCouponThenReadsUsed) {
    const CliResult claim = klv({u"claim"_s, u"3"_s});
    EXPECT_EQ(claim.exitCode, 0) << claim.err.toStdString();
    EXPECT_EQ(claim.out, u"KLV-T3-CCCC\nClaimed tier 3: Coupon for tier 3 claimed\n"_s)
        << "the code, as the window copies";
    EXPECT_TRUE(claim.err.contains(u"Not copied to the clipboard (klv has no desktop)"_s)) << claim.err.toStdString();
    EXPECT_EQ(rewardRequests(), (QList<QJsonArray>{QJsonArray{u"tester@klv.example"_s, u"0"_s},
                                                   QJsonArray{u"tester@klv.example"_s, u"3"_s}}));
    EXPECT_TRUE(
        logText().contains(u"Success POST the reward coupon value: 3 with message : Coupon for tier 3 claimed"_s));

    EXPECT_EQ(jsonOf({u"rewards"_s})[u"tiers"][2][u"state"], u"USED on order 5150"_s);
    const CliResult again = klv({u"claim"_s, u"3"_s});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(u"Tier 3 has no coupon to claim (USED on order 5150)."_s))
        << again.err.toStdString();
    EXPECT_EQ(klv({u"claim"_s, u"4"_s}).exitCode, 1) << "no coupon";
    EXPECT_EQ(rewardRequests().size(), 5) << "refused claims never reach the store";

    for (const QString &bad : {u"0"_s, u"11"_s, u"03"_s, u"two"_s})
        EXPECT_EQ(klv({u"claim"_s, bad}).exitCode, 2) << bad.toStdString();
    const QJsonObject json = jsonOf({u"claim"_s, u"1"_s});
    EXPECT_EQ(json[u"rewardText"], u"Reward $10"_s);
    EXPECT_EQ(json[u"coupon"], u"KLV-T1-AAAA"_s);
    EXPECT_EQ(json[u"copiedToClipboard"], false);
    EXPECT_EQ(json[u"result"], u"claimed"_s);
}

TEST_F(MarketingCliTest, BadMarketingAnswersAreLoggedNotFatal) {
    editMarketing([](QJsonObject &marketing) {
        marketing[u"saleInfo"] = QJsonObject{{u"sale_title"_s, u"Odd"_s}, {u"discount_amount"_s, u"30%"_s}};
        QJsonArray items = marketing[u"saleItemsInfo"].toArray();
        items.append(QJsonObject{{u"product_id"_s, u"9003"_s}, {u"product_name"_s, u"Text Number"_s}});
        items.append(QJsonObject{{u"product_id"_s, 9004.5}, {u"product_name"_s, u"Fraction"_s}});
        marketing[u"saleItemsInfo"] = items;
    });
    const QJsonObject sale = jsonOf({u"sale"_s});
    EXPECT_EQ(sale[u"discountPercent"], 0);
    EXPECT_EQ(names(sale[u"products"].toArray()), (QStringList{u"Aurora Glow"_s, u"Cinematic Bars"_s}));
    const QString log = logText();
    EXPECT_TRUE(log.contains(u"discount_amount is not a decimal integer, the discount counts as 0: \"30%\""_s))
        << log.toStdString();
    EXPECT_TRUE(log.contains(u"skipped a marketing product without an integer product_id: "
                             u"{\"product_id\":\"9003\",\"product_name\":\"Text Number\"}"_s));

    editMarketing([](QJsonObject &marketing) {
        marketing[u"answers"] = QJsonObject{{u"marketingInfo"_s, QJsonObject{{u"status"_s, u"true"_s}}},
                                            {u"saleInfo"_s, u"<html>busy</html>"_s}};
    });
    const CliResult refused = klv({u"sale"_s});
    EXPECT_EQ(refused.exitCode, 3) << "the worse of a refusal and an unreadable answer";
    EXPECT_TRUE(refused.err.contains(u"The store refused the marketing request: its status is not a boolean"_s))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(logText().contains(u"Error while get sale info with error : "_s));
    EXPECT_TRUE(logText().contains(u"Failed to convert the data object result from " + store.url() +
                                   u"/klv-app-marketing/with url : "_s));
}

TEST_F(MarketingCliTest, BadRewardAnswersAreLoggedNotFatal) {
    ASSERT_EQ(signInAs(u"nodata"_s).exitCode, 0);
    const QJsonObject rewards = jsonOf({u"rewards"_s});
    EXPECT_TRUE(rewards[u"neededForNextTier"].isNull());
    EXPECT_EQ(rewards[u"tiers"][9][u"state"], u"Not Avaliable"_s);
    EXPECT_TRUE(logText().contains(u"the reward answer has no data array; the previous reward tiers are kept"_s));

    ASSERT_EQ(signInAs(u"textstatus"_s).exitCode, 0);
    const CliResult refused = klv({u"rewards"_s});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(u"its status is not a boolean (Reward information)"_s))
        << refused.err.toStdString();
    EXPECT_TRUE(logText().contains(u"the reward answer's status is not a boolean"_s));
    EXPECT_TRUE(logText().contains(u"Error while get sale tier 0. for email textstatus@klv.example, with error "
                                   u"Reward information"_s));
}

} // namespace
} // namespace klv::test
