#pragma once

#include "Command.h"

#include "library/OutlineViewItem.h"

#include <memory>

namespace klv::cli {

class InterruptWatcher;
class ProgressDisplay;

// Installs (or, as "update", reinstalls) products through the installation queue, with a progress bar per job.
class InstallCommand final : public Command {
    Q_OBJECT
public:
    InstallCommand(AppContext &context, const Terminal &terminal, bool isUpdate);
    ~InstallCommand() override;

    QString name() const override { return m_isUpdate ? QStringLiteral("update") : QStringLiteral("install"); }
    QString summary() const override;
    void describe(QCommandLineParser &parser) const override;
    bool needsStore() const override { return true; }
    void run(const QCommandLineParser &parser) override;

private:
    // Once the installation queue is this process's.
    void install(const QStringList &names);
    void requestAll(const QList<OutlineViewItem> &products);
    void requestNext();
    void watchEngine();
    void finishIfDone();
    void printJsonSummary() const;

    bool m_isUpdate;
    std::unique_ptr<ProgressDisplay> m_progress;
    InterruptWatcher *m_interrupts = nullptr;
    QList<OutlineViewItem> m_toRequest;
    int m_pendingRequests = 0;
    int m_exitCode = 0;
    bool m_cancelled = false;
    bool m_asJson = false;
    int m_productCount = 0;
    // Installed, failed or refused: the progress line's count of products.
    int m_productsDone = 0;
    // For the JSON summary: product names, and names with the reason.
    QStringList m_installed;
    QList<std::pair<QString, QString>> m_failed;
    QList<std::pair<QString, QString>> m_refused;
};

} // namespace klv::cli
