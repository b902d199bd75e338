#include "cli/RewardsCommand.h"

#include "cli/ExitCode.h"
#include "cli/LibraryOutcome.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"

#include "marketing/Rewards.h"

#include "cli/CommandArguments.h"
#include <QJsonArray>
#include <QJsonObject>

namespace klv::cli {

namespace {

const QString jsonOption = QStringLiteral("json");
// Wide enough for "USED on order 4711" and two spaces.
constexpr qsizetype couponColumn = 20;

QString toneName(RewardTier::Tone tone) {
    switch (tone) {
    case RewardTier::Tone::orange:
        return QStringLiteral("orange");
    case RewardTier::Tone::green:
        return QStringLiteral("green");
    case RewardTier::Tone::plain:
        break;
    }
    return QStringLiteral("plain");
}

} // namespace

void RewardsCommand::describe(CommandArguments &arguments) const {
    arguments.addFlag(jsonOption, QStringLiteral("Print the rewards as one JSON object."));
}

void RewardsCommand::run(const CommandArguments &arguments) {
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    const bool asJson = arguments.isSet(jsonOption);
    auto *rewards = &m_context.rewards();
    connect(rewards, &Rewards::rewardInfoFinished, this,
            [this, rewards, asJson](MarketingOutcome outcome, const QString &message) {
                if (outcome == MarketingOutcome::succeeded) {
                    show(*rewards, asJson);
                    return;
                }
                m_terminal.printMessage(message);
                Q_EMIT finished(outcome == MarketingOutcome::refused ? ExitCode::storeRefused : ExitCode::noAnswer);
            });
    rewards->requestRewardInfo();
}

void RewardsCommand::show(const Rewards &rewards, bool asJson) {
    const QList<RewardTier> tiers = rewards.tiers();
    if (asJson) {
        QJsonArray rows;
        for (const RewardTier &tier : tiers) {
            rows.append(QJsonObject{{QStringLiteral("tier"), tier.tier},
                                    {QStringLiteral("threshold"), tier.threshold},
                                    {QStringLiteral("reward"), tier.reward},
                                    {QStringLiteral("state"), tier.state},
                                    {QStringLiteral("tone"), toneName(tier.tone)},
                                    {QStringLiteral("copyable"), tier.showsCopyIcon},
                                    {QStringLiteral("coupon"), tier.coupon}});
        }
        const QJsonObject result{{QStringLiteral("totalSpent"), rewards.totalSpent()},
                                 {QStringLiteral("coins"), rewards.goldCoinCount()},
                                 {QStringLiteral("progress"), rewards.progressValue()},
                                 {QStringLiteral("progressMaximum"), Rewards::progressMaximum},
                                 {QStringLiteral("neededForNextTier"),
                                  rewards.amountToNextTier() ? QJsonValue(*rewards.amountToNextTier()) : QJsonValue()},
                                 {QStringLiteral("tiers"), rows}};
        m_terminal.printJson(result);
    } else {
        m_terminal.printResult(QStringLiteral("Spent $%1; %2 of %3 coins.")
                                   .arg(QString::number(rewards.totalSpent(), 'f', 2))
                                   .arg(rewards.goldCoinCount())
                                   .arg(Rewards::tierCount));
        m_terminal.printResult(rewards.needText());
        for (const RewardTier &tier : tiers) {
            // The coupon's code stands in a column of its own after the state, as in the window's row.
            const QString state =
                tier.coupon.isEmpty() ? tier.state : tier.state.leftJustified(couponColumn) + tier.coupon;
            const QString claim = tier.showsCopyIcon ? QStringLiteral("  (klv claim %1)").arg(tier.tier) : QString();
            m_terminal.printResult(
                QStringLiteral("%1  %2  %3%4").arg(tier.threshold, 5).arg(tier.reward, -4).arg(state, claim));
        }
    }
    Q_EMIT finished(ExitCode::success);
}

} // namespace klv::cli
