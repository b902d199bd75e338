#include "cli/JobRunDisplay.h"

#include "cli/InterruptWatcher.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "install/InstallationEngine.h"

namespace klv::cli {

using namespace Qt::StringLiterals;

JobRunDisplay::JobRunDisplay(AppContext &context, const Terminal &terminal, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_terminal(terminal)
    , m_progress(terminal) {}

void JobRunDisplay::start() {
    InstallationEngine &engine = m_context.installationEngine();
    connect(&engine, &InstallationEngine::jobStarted, this, [this](const InstallationItem &job) {
        // Placed among what was asked for, which is known from the start, not among the jobs queued so far; the
        // members of a group count as their group.
        m_progress.startJob(job.product_name, qMin(m_done + 1, m_total), m_total);
        m_jobName = job.product_name;
        m_packageSize = -1;
    });
    // The bar follows the whole job, not the step that reported last.
    connect(&engine, &InstallationEngine::stripChanged, this, [this, &engine] {
        if (engine.stripVisible())
            m_progress.show(engine.runningJobProgress() * 100.0);
    });
    connect(&engine, &InstallationEngine::packageProgressed, this, [this](qint64 received, qint64 total) {
        m_progress.showDownload(received, total);
        m_packageSize = total;
    });
    connect(&engine, &InstallationEngine::downloadReconnecting, this, [this](int attempt, int attempts) {
        m_progress.finishLine();
        m_terminal.printNote(QStringLiteral("Reconnecting… (%1/%2)").arg(attempt).arg(attempts));
    });
    auto *interrupts = new InterruptWatcher(this);
    connect(interrupts, &InterruptWatcher::interrupted, this, [this] {
        m_cancelled = true;
        m_progress.finishLine();
        m_terminal.printNote(u"Cancelling…"_s);
        m_context.installationEngine().releaseQueue();
        m_context.installationEngine().cancelInstallation();
        Q_EMIT cancelled();
    });
}

} // namespace klv::cli
