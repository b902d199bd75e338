#pragma once

#include "cli/Command.h"

namespace klv::cli {

// Lists the products whose menu offers an update: what `klv update --all` would update.
class OutdatedCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("outdated"); }
    QString summary() const override { return QStringLiteral("List the installed products that have an update."); }
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    void show(bool asJson);
};

} // namespace klv::cli
