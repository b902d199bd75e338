#pragma once

#include "cli/Command.h"

#include "library/OutlineViewItem.h"

#include <utility>

namespace klv::cli {

class JobRunDisplay;
class TerminalAlerts;

// Installs (or, as "update", reinstalls) products through the installation queue, with a progress bar per job.
// An update is asked for first, and offered only where the product's menu offers it.
class InstallCommand final : public Command {
    Q_OBJECT
public:
    InstallCommand(AppContext &context, const Terminal &terminal, TerminalAlerts &alerts, bool isUpdate);

    QString name() const override { return m_isUpdate ? QStringLiteral("update") : QStringLiteral("install"); }
    QString summary() const override;
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    // Once the installation queue is this process's.
    void install(const QStringList &names, bool all);
    // The records to queue, or nothing when the command ends here (it has said why).
    std::optional<QList<OutlineViewItem>> select(const QStringList &names, bool all);
    bool confirm();
    void requestAll(const QList<OutlineViewItem> &products);
    void requestNext();
    void watchEngine();
    void finishIfDone();
    void printSummary() const;
    void printJsonSummary() const;
    // Tells how far the product's download got and how to continue it, when what it received is kept.
    void printPausedDownload(const QString &productName) const;

    TerminalAlerts &m_alerts;
    bool m_isUpdate;
    bool m_answersYes = false;
    // Counts the products asked for; each installed, failed or refused one counts as done.
    JobRunDisplay *m_run;
    QList<OutlineViewItem> m_toRequest;
    // Product names, and names with the reason, for the summary.
    QStringList m_placed;
    QList<std::pair<QString, QString>> m_failures;
    QList<std::pair<QString, QString>> m_refusals;
    // Placed, but the library that records it could not be written.
    QList<std::pair<QString, QString>> m_notStored;
    int m_alreadyInstalled = 0;
    int m_exitCode = 0;
    bool m_asJson = false;
};

} // namespace klv::cli
