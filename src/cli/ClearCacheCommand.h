#pragma once

#include "cli/Command.h"

namespace klv::cli {

class ClearCacheCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("clear-cache"); }
    QString summary() const override {
        return QStringLiteral("Forget the cached library and pictures, then reload them.");
    }
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;
};

} // namespace klv::cli
