#pragma once

#include "cli/Command.h"

#include <QJsonArray>

namespace klv::cli {

class DoctorCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("doctor"); }
    QString summary() const override {
        return QStringLiteral("Check the store, free space and notifications; show the folders.");
    }
    void describe(CommandArguments &arguments) const override;
    void run(const CommandArguments &arguments) override;

private:
    // One check's outcome, printed at once, or kept for the JSON object.
    void addCheck(const QString &name, bool passed, const QString &detail, const QString &fix);
    // Each value of the configuration with where it came from.
    void printConfiguration();
    QJsonArray configurationJson() const;
    void checkStore();
    void checkFreeSpace();
    void checkNotifications();
    void report();

    bool m_asJson = false;
    bool m_allPassed = true;
    QJsonArray m_checks;
};

} // namespace klv::cli
