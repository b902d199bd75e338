#pragma once

#include "cli/Command.h"

namespace klv::cli {

class WhoamiCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("whoami"); }
    QString summary() const override { return QStringLiteral("Show the signed-in customer's name and e-mail."); }
    void describe(CommandArguments &arguments) const override;
    void run(const CommandArguments &arguments) override;
};

} // namespace klv::cli
