#pragma once

#include "cli/Command.h"

#include "library/InstallVerifier.h"
#include "library/OutlineViewItem.h"

namespace klv::cli {

class JobRunDisplay;
class TerminalAlerts;

// Verifies the named products and installs again, from their whole package, only the items (template folders,
// bundles, plug-ins, fonts) in which something differs; each is swapped in whole, as an installation does.
class RepairCommand final : public Command {
    Q_OBJECT
public:
    RepairCommand(AppContext &context, const Terminal &terminal, TerminalAlerts &alerts);

    QString name() const override { return QStringLiteral("repair"); }
    QString summary() const override { return QStringLiteral("Install again what differs in installed products."); }
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    void repair(const QStringList &names, bool answersYes);
    void repairDamaged(const QList<ProductCheck> &checks, bool answersYes);
    void watchEngine();
    void requestNext();
    void finishIfDone();

    TerminalAlerts &m_alerts;
    // Counts the products to repair; each repaired, failed or refused one counts as done.
    JobRunDisplay *m_run;
    QList<std::pair<OutlineViewItem, QStringList>> m_toRequest;
    int m_exitCode = 0;
};

} // namespace klv::cli
