#pragma once

#include "cli/Command.h"

namespace klv::cli {

class LogoutCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("logout"); }
    QString summary() const override { return QStringLiteral("Sign out and forget the cached library."); }
    void run(const CommandArguments &arguments) override;
};

} // namespace klv::cli
