#pragma once

#include "cli/Command.h"

#include "marketing/MarketingOutcome.h"

namespace klv {
class Rewards;
}

namespace klv::cli {

class ClaimCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("claim"); }
    QString summary() const override {
        return QStringLiteral("Claim the coupon of a tier (1 to 10) and show its code.");
    }
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    void claim(Rewards &rewards, int tier, bool asJson);
    void report(int tier, MarketingOutcome outcome, const QString &message, bool asJson);

    // What the window would have copied: the coupon's code, or the reward text when the store sent none.
    QString m_couponText;
};

} // namespace klv::cli
