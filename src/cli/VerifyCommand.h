#pragma once

#include "cli/Command.h"

#include "library/InstallVerifier.h"

namespace klv::cli {

// Compares what is on disk with what installations placed: missing, changed and extra files per product. A product
// installed before manifests were kept is described as it stands ("baseline taken").
class VerifyCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("verify"); }
    QString summary() const override { return QStringLiteral("Check that installed products are whole."); }
    void describe(CommandArguments &arguments) const override;
    void run(const CommandArguments &arguments) override;

private:
    void report(const QList<ProductCheck> &checks, bool asJson);
};

} // namespace klv::cli
