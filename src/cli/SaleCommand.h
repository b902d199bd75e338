#pragma once

#include "cli/Command.h"

#include "marketing/MarketingOutcome.h"

#include <QStringList>

namespace klv {
class MarketingCenter;
}

namespace klv::cli {

class SaleCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("sale"); }
    QString summary() const override {
        return QStringLiteral("Show the sale of the day: its title, countdown and products.");
    }
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    void answered(MarketingOutcome outcome, const QString &message);
    void show(const MarketingCenter &marketing, bool asJson);

    int m_pending = 0;
    bool m_marketingInfoLoaded = false;
    int m_exitCode = 0;
    // Both requests fail alike when the store is away: each message is told once.
    QStringList m_messages;
};

} // namespace klv::cli
