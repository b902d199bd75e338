#pragma once

#include "install/WorkerTask.h"
#include "library/UnpackedFile.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace klv {

class Services;
struct InstallationItem;

// The components a job's progress is made of.
inline const QString templateProgress = QStringLiteral("Template Progress");
inline const QString fontsProgress = QStringLiteral("Fonts Progress");
inline const QString pluginsProgress = QStringLiteral("FxPlugs Progress");

// What every installer of a job may use: the shared services and the plug-ins that stay running.
struct InstallEnvironment {
    Services &services;
    const QStringList &notAutoKillList;
};

// One component of an installation job (the templates, the fonts, the plug-ins, a composite, …). It lives on
// the main thread and does its blocking work on worker threads; everything it reports arrives on the main
// thread, in order. A job ends when each of its components has reported 1.0, or when one of them fails.
// What a component placed stays revocable until the job ends: commit() keeps it, cancel() takes it back.
class JobInstaller : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void start() = 0;
    // Stops downloads and worker steps and takes back what this installer placed for the job, so that the
    // product is as it was before. Nothing is reported afterwards but stopped(), which follows (perhaps at
    // once) when no worker touches the job's files any more.
    virtual void cancel() = 0;
    // The whole job succeeded: earlier versions kept for taking back can go.
    virtual void commit() {}
    // The part of the product this installer places, as verify names it ("templates", "fonts", …); empty for the
    // only installer of a job.
    virtual QString partName() const { return {}; }
    // What this installer placed for the job (template folders, bundles, plug-ins, fonts), until commit().
    virtual QStringList placedItems() const { return {}; }
    // The files among them that were unpacked as their archive holds them, so that the record of the job need not
    // read them again.
    virtual UnpackedFiles unpackedFiles() const { return {}; }
    // Pauses the package download under way, keeping what arrived, and continues it; false when this installer
    // has no download to pause (or to resume).
    virtual bool pauseDownload() { return false; }
    virtual bool resumeDownload() { return false; }
    bool isStopped() const { return m_stopped; }
    // True for an installer whose work is not part of the job's progress: it may go on after the job has
    // ended, and says so with sideWorkFinished().
    virtual bool isSideWork() const { return false; }
    bool isSideWorkDone() const { return m_sideWorkDone; }

Q_SIGNALS:
    // component is "Template Progress", "Fonts Progress" or "FxPlugs Progress"; value from 0.0 to 1.0.
    void progressed(const QString &component, double value);
    // The current step for the strip's title, e.g. " - 1.20 MB / 3.40 MB".
    void stepChanged(const QString &suffix);
    // Bytes of the job's package received so far, of total (-1 when unknown).
    void packageProgressed(qint64 received, qint64 total);
    // The package's download was cut by a transient failure; attempt (from 2) of attempts follows.
    void reconnecting(int attempt, int attempts);
    // The job cannot complete; the message is for the customer.
    void failed(const QString &message);
    // Side work only: everything it had to do is done (or logged).
    void sideWorkFinished();
    // After cancel(): every worker step has ended and what was placed is taken back.
    void stopped();

protected:
    // Runs blocking work on a worker; done gets its result on the main thread unless cancel() came first.
    template <typename Work, typename Done> void runWorkerStep(Work work, Done done) {
        ++m_runningSteps;
        runOnWorker(this, std::move(work), [this, done = std::move(done)](auto result) mutable {
            --m_runningSteps;
            if (m_stopping)
                settleWhenIdle();
            else
                done(std::move(result));
        });
    }
    // For cancel(), once downloads are stopped: waits for running worker steps, takes back what was placed
    // and then reports stopped().
    void stopWhenIdle() {
        m_stopping = true;
        settleWhenIdle();
    }
    bool isStopping() const { return m_stopping; }
    // Blocking work that takes back what the installer placed for the job; empty when there is nothing.
    virtual std::function<void()> takeBackWork() { return {}; }
    void finishSideWork() {
        m_sideWorkDone = true;
        Q_EMIT sideWorkFinished();
    }

private:
    void settleWhenIdle() {
        if (m_runningSteps > 0 || m_settling)
            return;
        m_settling = true;
        std::function<void()> work = takeBackWork();
        if (!work) {
            reportStopped();
            return;
        }
        runOnWorker(
            this,
            [work = std::move(work)] {
                work();
                return true;
            },
            [this](bool) { reportStopped(); });
    }
    void reportStopped() {
        m_stopped = true;
        Q_EMIT stopped();
    }

    bool m_sideWorkDone = false;
    int m_runningSteps = 0;
    bool m_stopping = false;
    bool m_settling = false;
    bool m_stopped = false;
};

} // namespace klv
