#include "marketing/Rewards.h"

#include "marketing/RewardAnswer.h"
#include "store/DesktopServices.h"
#include "store/JsonDecoding.h"
#include "store/LenientJson.h"
#include "store/Services.h"
#include "store/StoreClient.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace klv {

using namespace Qt::StringLiterals;

Rewards::Rewards(Services &services, QObject *parent)
    : QObject(parent)
    , m_services(services) {}

void Rewards::requestRewardInfo() {
    auto url = std::make_shared<QString>();
    *url =
        m_services.store().send(StoreEndpoint::marketing, u"reward"_s, {m_services.settings().userEmail, u"0"_s}, this,
                                [this, url](const StoreResponse &response) { handleRewardInfo(response, *url); });
}

void Rewards::claimRewardTier(int tier) {
    auto url = std::make_shared<QString>();
    *url = m_services.store().send(
        StoreEndpoint::marketing, u"reward"_s, {m_services.settings().userEmail, QString::number(tier)}, this,
        [this, tier, url](const StoreResponse &response) { handleClaim(tier, response, *url); });
}

bool Rewards::copyRewardCoupon(int row) {
    if (row < 0 || row >= tierCount || m_rewardsArray.size() <= row)
        return false;
    m_services.desktop().copyText(couponText(row));
    claimRewardTier(row + 1);
    return true;
}

QString Rewards::rewardText(int row) {
    return u"Reward $"_s + QString::number(10 * (row + 1));
}

QString Rewards::couponText(int row) const {
    // The banner asks for the coupon at the checkout: its code is what the customer pastes there.
    const QString coupon = m_rewardsArray.value(row).coupon;
    return coupon.isEmpty() ? rewardText(row) : coupon;
}

void Rewards::handleRewardInfo(const StoreResponse &response, const QString &requestUrl) {
    const Reporter &reporter = m_services.reporter();
    // Without an HTTP answer the transport always names its error, so that is what is logged.
    if (!response.hasBody) {
        reporter.appendLog(u"Error while get Get sale tier 0 "_s + response.transportError);
        Q_EMIT rewardInfoFinished(MarketingOutcome::noAnswer,
                                  u"The store could not be reached: "_s + response.transportError);
        return;
    }
    const std::optional<QJsonObject> answer = decodeJSONObject(response.body, m_services.log());
    if (!answer) {
        reporter.appendLog(u"Failed to convert the data object result from "_s +
                           m_services.store().endpointAddress(StoreEndpoint::marketing) + u" with url : "_s +
                           requestUrl);
        Q_EMIT rewardInfoFinished(MarketingOutcome::noAnswer, u"The store's answer could not be read."_s);
        return;
    }
    const RewardAnswer decoded = RewardAnswer::decode(*answer);
    if (decoded.refusal) {
        if (!decoded.statusIsBoolean)
            reporter.appendLog(u"KLV App Error: the reward answer's status is not a boolean"_s);
        reporter.appendLog(u"Error while get sale tier 0. for email "_s + m_services.settings().userEmail +
                           u", with error "_s + decoded.message);
        Q_EMIT rewardInfoFinished(MarketingOutcome::refused,
                                  u"The store refused the reward information: "_s + *decoded.refusal);
        return;
    }
    applyRewardInfo(decoded);
    Q_EMIT rewardInfoFinished(MarketingOutcome::succeeded, {});
}

void Rewards::setRewardInfo(const QJsonObject &answer) {
    applyRewardInfo(RewardAnswer::readContent(answer));
}

void Rewards::applyRewardInfo(const RewardAnswer &answer) {
    m_totalSpent = answer.totalSpent;
    if (answer.coupons) {
        // Entries past the end of a shorter list stay as they were.
        for (qsizetype i = 0; i < answer.coupons->size(); ++i)
            m_rewardsArray.insert(static_cast<int>(i), answer.coupons->at(i));
    } else {
        m_services.reporter().appendLog(
            u"KLV App Error: the reward answer has no data array; the previous reward tiers are kept"_s);
    }
    Q_EMIT rewardsChanged();
    Q_EMIT appMenuEnabled(appMenuIndex::myRewardsAppMenu, true);
}

void Rewards::handleClaim(int tier, const StoreResponse &response, const QString &requestUrl) {
    const Reporter &reporter = m_services.reporter();
    const QString tierText = QString::number(tier);
    if (!response.hasBody) {
        reporter.appendLog(u"Error while get Get sale tier 0 "_s + response.transportError);
        Q_EMIT claimFinished(tier, MarketingOutcome::noAnswer,
                             u"The store could not be reached: "_s + response.transportError);
        return;
    }
    const std::optional<QJsonObject> answer = decodeJSONObject(response.body, m_services.log());
    if (!answer) {
        reporter.appendLog(u"Failed to convert the data object result from "_s +
                           m_services.store().endpointAddress(StoreEndpoint::marketing) + u" with url : "_s +
                           requestUrl);
        Q_EMIT claimFinished(tier, MarketingOutcome::noAnswer, u"The store's answer could not be read."_s);
        return;
    }
    const QJsonValue status = answer->value("status"_L1);
    const QString message = json::textOr(*answer, "msg"_L1);
    if (status.isBool() && status.toBool()) {
        reporter.appendLog(u"Success POST the reward coupon value: "_s + tierText + u" with message : "_s + message);
        Q_EMIT claimFinished(tier, MarketingOutcome::succeeded, message);
    } else {
        reporter.appendLog(u"Error while POST the reward coupon value: "_s + tierText + u" with error : "_s + message);
        Q_EMIT claimFinished(tier, MarketingOutcome::refused, refusalReason(status, message));
    }
}

int Rewards::goldCoinCount() const {
    return static_cast<int>(std::clamp(std::trunc(m_totalSpent / 100.0), 0.0, double(tierCount)));
}

double Rewards::progressValue() const {
    return std::min(m_totalSpent, progressMaximum);
}

std::optional<double> Rewards::amountToNextTier() const {
    if (m_totalSpent > progressMaximum)
        return std::nullopt;
    // Worked out in doubles so that no spending, however odd, overflows an integer.
    const double whole = std::trunc(m_totalSpent);
    return std::trunc(whole / 100.0) * 100.0 - whole + 100.0;
}

QString Rewards::needText() const {
    const std::optional<double> need = amountToNextTier();
    return need ? u"$ "_s + QString::number(*need, 'f', 0) + u" need"_s : u"Max Tier Reached"_s;
}

QList<RewardTier> Rewards::tiers() const {
    QList<RewardTier> rows;
    for (int row = 0; row < tierCount; ++row) {
        const auto entry = m_rewardsArray.constFind(row);
        rows.append(RewardTier::describe(
            row, m_totalSpent, entry == m_rewardsArray.cend() ? std::nullopt : std::optional<RewardItem>(*entry)));
    }
    return rows;
}

} // namespace klv
