#include "cli/ClaimCommand.h"

#include "cli/ExitCode.h"
#include "cli/LibraryOutcome.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"

#include "marketing/Rewards.h"

#include "cli/CommandArguments.h"
#include <QJsonObject>

namespace klv::cli {

namespace {

const QString jsonOption = QStringLiteral("json");

// 1 to 10 written plainly; nothing for anything else.
std::optional<int> tierNumber(const QStringList &arguments) {
    if (arguments.size() != 1)
        return std::nullopt;
    bool isNumber = false;
    const int tier = arguments.first().toInt(&isNumber);
    if (!isNumber || tier < 1 || tier > Rewards::tierCount || arguments.first() != QString::number(tier))
        return std::nullopt;
    return tier;
}

} // namespace

void ClaimCommand::describe(CommandArguments &arguments) const {
    arguments.addPositional(QStringLiteral("TIER"), QStringLiteral("The tier, 1 to 10."), 1, true);
    arguments.addFlag(jsonOption, QStringLiteral("Print the outcome as one JSON object."));
}

void ClaimCommand::run(const CommandArguments &arguments) {
    const std::optional<int> tier = tierNumber(arguments.positionalArguments());
    if (!tier) {
        m_terminal.printMessageLines(arguments.usageError(QStringLiteral("TIER is a number from 1 to 10.")));
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    const bool asJson = arguments.isSet(jsonOption);
    auto *rewards = &m_context.rewards();
    // The coupons must be known first, as in the window, which only offers a copy button where there is one.
    connect(rewards, &Rewards::rewardInfoFinished, this,
            [this, rewards, tier = *tier, asJson](MarketingOutcome outcome, const QString &message) {
                if (outcome == MarketingOutcome::succeeded) {
                    claim(*rewards, tier, asJson);
                    return;
                }
                m_terminal.printMessage(message);
                Q_EMIT finished(outcome == MarketingOutcome::refused ? ExitCode::storeRefused : ExitCode::noAnswer);
            });
    connect(rewards, &Rewards::claimFinished, this,
            [this, asJson](int claimed, MarketingOutcome outcome, const QString &message) {
                report(claimed, outcome, message, asJson);
            });
    rewards->requestRewardInfo();
}

void ClaimCommand::claim(Rewards &rewards, int tier, bool asJson) {
    const RewardTier row = rewards.tiers().at(tier - 1);
    if (!row.showsCopyIcon) {
        m_terminal.printMessage(QStringLiteral("Tier %1 has no coupon to claim (%2).").arg(tier).arg(row.state));
        Q_EMIT finished(ExitCode::storeRefused);
        return;
    }
    m_couponText = rewards.couponText(tier - 1);
    rewards.copyRewardCoupon(tier - 1);
    // klv has no desktop clipboard to copy to: the terminal is where the text can be taken from.
    if (!asJson) {
        m_terminal.printResult(m_couponText);
        m_terminal.printMessage(
            QStringLiteral("Not copied to the clipboard (klv has no desktop): copy the text above."));
    }
}

void ClaimCommand::report(int tier, MarketingOutcome outcome, const QString &message, bool asJson) {
    if (asJson) {
        const QString result = outcome == MarketingOutcome::succeeded ? QStringLiteral("claimed")
                               : outcome == MarketingOutcome::refused ? QStringLiteral("refused")
                                                                      : QStringLiteral("noAnswer");
        const QJsonObject object{
            {QStringLiteral("tier"), tier},           {QStringLiteral("rewardText"), Rewards::rewardText(tier - 1)},
            {QStringLiteral("coupon"), m_couponText}, {QStringLiteral("copiedToClipboard"), false},
            {QStringLiteral("result"), result},       {QStringLiteral("message"), message}};
        m_terminal.printJson(object);
    }
    switch (outcome) {
    case MarketingOutcome::succeeded:
        if (!asJson)
            m_terminal.printResult(QStringLiteral("Claimed tier %1: %2").arg(tier).arg(message));
        Q_EMIT finished(ExitCode::success);
        return;
    case MarketingOutcome::refused:
        m_terminal.printMessage(QStringLiteral("The store refused the claim of tier %1: %2").arg(tier).arg(message));
        Q_EMIT finished(ExitCode::storeRefused);
        return;
    case MarketingOutcome::noAnswer:
        m_terminal.printMessage(message);
        Q_EMIT finished(ExitCode::noAnswer);
        return;
    }
}

} // namespace klv::cli
