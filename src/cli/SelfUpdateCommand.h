#pragma once

#include "Command.h"

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
        return QStringLiteral("Check the store for a newer KLV App, download it and hand over to the updater.");
    }
    void describe(QCommandLineParser &parser) const override;
    bool needsStore() const override { return true; }
    void run(const QCommandLineParser &parser) override;

private:
    void versionChecked();
    void updaterReady(bool available);
    void report(const QString &offered, bool newer, std::optional<bool> started) const;

    SelfUpdate *m_selfUpdate;
    bool m_asJson = false;
};

} // namespace klv::cli
