#pragma once

#include "cli/Command.h"

#include <optional>

namespace klv {
class LoginSession;
}

namespace klv::cli {

class LoginCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("login"); }
    QString summary() const override {
        return QStringLiteral("Sign in with a user name and password, or a link code.");
    }
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    std::optional<QString> readPassword(const CommandArguments &arguments) const;
    void watch(LoginSession &session);
};

} // namespace klv::cli
