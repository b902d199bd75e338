#pragma once

#include "Command.h"

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
        return QStringLiteral("Show your reward coins, what the next tier needs and the ten tiers.");
    }
    void describe(QCommandLineParser &parser) const override;
    bool needsStore() const override { return true; }
    void run(const QCommandLineParser &parser) override;

private:
    void show(const Rewards &rewards, bool asJson);
};

} // namespace klv::cli
