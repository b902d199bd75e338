#pragma once

#include "cli/Command.h"

#include <optional>

namespace klv {
class SelfUpdate;
}

namespace klv::cli {

class SelfUpdateCommand final : public Command {
    Q_OBJECT
public:
    SelfUpdateCommand(AppContext &context, const Terminal &terminal);
    ~SelfUpdateCommand() override;

    QString name() const override { return QStringLiteral("self-update"); }
    QString summary() const override {
        return QStringLiteral("Install a newer KLV App from the store through the updater.");
    }
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    void versionChecked();
    void updaterReady(bool available);
    void report(const QString &offered, bool newer, std::optional<bool> started) const;

    SelfUpdate *m_selfUpdate;
    bool m_asJson = false;
};

} // namespace klv::cli
