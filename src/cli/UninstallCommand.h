#pragma once

#include "cli/Command.h"

#include "library/OutlineViewItem.h"
#include "library/UninstallReport.h"

namespace klv::cli {

// Removes products' Motion templates, composites, custom looks and Resolve bundles; fonts and plug-ins stay.
// Only what the product's menu offers to uninstall, and only once confirmed.
class UninstallCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("uninstall"); }
    QString summary() const override { return QStringLiteral("Remove installed products (fonts and plug-ins stay)."); }
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    // Once the installation queue is this process's.
    void uninstall(const QStringList &names, bool confirmed);
    void report(const OutlineViewItem &record, const UninstallReport &report);
    void uninstallNext();

    QList<OutlineViewItem> m_toRemove;
    bool m_asJson = false;
    QStringList m_uninstalled;
};

} // namespace klv::cli
