#pragma once

#include "cli/Command.h"

namespace klv {
class Rewards;
}

namespace klv::cli {

class RewardsCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("rewards"); }
    QString summary() const override {
        return QStringLiteral("Show your reward coins, the next tier's need and the ten tiers.");
    }
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    void show(const Rewards &rewards, bool asJson);
};

} // namespace klv::cli
