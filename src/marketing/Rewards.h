#pragma once

#include "library/ProductEnums.h"
#include "library/RewardItem.h"
#include "marketing/MarketingOutcome.h"
#include "marketing/RewardTier.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <optional>

namespace klv {

class Services;
struct RewardAnswer;
struct StoreResponse;

// The customer's spending-based reward programme: ten tiers of 100 dollars, a coupon per tier, and the claim of a
// coupon. Lives on the main thread; the window and the command-line client read the values and follow the signals.
class Rewards final : public QObject {
    Q_OBJECT
public:
    static constexpr int tierCount = 10;
    static constexpr double progressMaximum = 1000.0;

    explicit Rewards(Services &services, QObject *parent = nullptr);

    // Asks for the total spent and the coupons of the signed-in customer.
    void requestRewardInfo();
    // Tells the store that the coupon of tier 1 to 10 was taken.
    void claimRewardTier(int tier);
    // Copies the row's coupon code (its reward text when the store sent no code) and claims the tier; false
    // (nothing done) for a row without entry.
    bool copyRewardCoupon(int row);
    // Processing of a successful reward answer: the total and, when it has them, the coupons.
    void setRewardInfo(const QJsonObject &answer);

    double totalSpent() const { return m_totalSpent; }
    // Coupons by tier index (0 to 9).
    const QMap<int, RewardItem> &rewardsArray() const { return m_rewardsArray; }
    // Coins shown gold, 0 to 10: one per full 100 dollars.
    int goldCoinCount() const;
    // The progress bar's value, capped at progressMaximum.
    double progressValue() const;
    // "$ 50 need", or "Max Tier Reached" above 1000 dollars.
    QString needText() const;
    // The whole dollars the next tier needs; nothing above 1000 dollars.
    std::optional<double> amountToNextTier() const;
    QList<RewardTier> tiers() const;
    // The text copyRewardCoupon puts on the clipboard for a row without a code, "Reward $10" for row 0.
    static QString rewardText(int row);
    // What copying the row's coupon puts on the clipboard: its code, or its reward text when the store sent none.
    QString couponText(int row) const;

Q_SIGNALS:
    // The total or the coupons changed: coins, bar, need line and table are to be redrawn.
    void rewardsChanged();
    void appMenuEnabled(klv::appMenuIndex section, bool enabled);
    void rewardInfoFinished(klv::MarketingOutcome outcome, const QString &message);
    void claimFinished(int tier, klv::MarketingOutcome outcome, const QString &message);

private:
    void handleRewardInfo(const StoreResponse &response, const QString &requestUrl);
    void applyRewardInfo(const RewardAnswer &answer);
    void handleClaim(int tier, const StoreResponse &response, const QString &requestUrl);

    Services &m_services;
    double m_totalSpent = 0.0;
    QMap<int, RewardItem> m_rewardsArray;
};

} // namespace klv
