#pragma once

#include "cli/Command.h"

namespace klv::cli {

class LogFollower;

class LogCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("log"); }
    QString summary() const override { return QStringLiteral("Show the log; --follow goes on with new lines."); }
    void describe(CommandArguments &arguments) const override;
    void run(const CommandArguments &arguments) override;
};

} // namespace klv::cli
