#pragma once

#include "core/Error.h"

#include "library/InstallationItem.h"
#include "library/JobState.h"
#include "library/OutlineViewItem.h"
#include "library/UnfinishedUpdate.h"
#include "library/UnpackedFile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <functional>
#include <optional>

namespace klv {

class ProductLibrary;
class Services;
class JobInstaller;
struct InstallEnvironment;
struct StoreResponse;

// The installation queue: turns download information into jobs, runs them strictly one after another, keeps
// each job's progress per component, and tells the library and the front ends how each job ends. It also
// holds the values the progress strip shows.
class InstallationEngine final : public QObject {
    Q_OBJECT
public:
    enum class DownloadInfoOutcome {
        accepted,
        refused,
        // No answer; the customer was told already.
        noAnswer,
        // An answer that could not be read or used.
        unusable,
    };
    Q_ENUM(DownloadInfoOutcome)
    using JobInstallerFactory =
        std::function<QList<JobInstaller *>(const InstallEnvironment &, const InstallationItem &, QObject *parent)>;

    InstallationEngine(Services &services, ProductLibrary &library, QObject *parent = nullptr);
    ~InstallationEngine() override;

    // Replaces the installers a job is made of (by default those of its type).
    void setJobInstallerFactory(JobInstallerFactory factory);

    // Asks the store which packages make up the product and queues them.
    void requestInstallation(const OutlineViewItem &item, bool isNewInstall);
    // Installs again only the installed items named (see ProductCheck::damagedItems), from the whole package.
    void requestRepair(const OutlineViewItem &item, const QStringList &damagedItems);
    // A request that goes to the store once this home's installation queue is free; until then, or until
    // dropWaitingRequests(), the product counts as waiting.
    void holdRequest(const OutlineViewItem &item, bool isNewInstall);
    void dropWaitingRequests();
    void enqueueDownloadInfo(const QJsonObject &templateData, const QJsonArray &compositeData);
    // While held, answers are queued but no job starts, so that a run of several products is known whole (and its
    // room checked as one) before anything is written; releasing starts the queue.
    void holdQueue();
    void releaseQueue();
    void startCurrentJob();
    void reportProgress(const QString &component, double value);
    // The running job's progress over the components that have work to do (0 when none runs): a component that
    // was done at its first report (no fonts, no plug-ins) does not make the job look further along than it is.
    double runningJobProgress() const;
    // -2 when no job matches, -1 while queued behind the running job, else the job's overall progress.
    double jobProgress(const QString &productName, qint64 productId) const;
    // Where the library record's request or job stands.
    JobState jobState(const OutlineViewItem &record) const;
    // Stops every job; the queue empties once the running job's workers stopped and its components took back
    // what they placed (queueFinished() then, when a job ran).
    void cancelInstallation();

    const QList<InstallationItem> &installingQueue() const { return m_installingQueue; }
    qsizetype installingIndexInQueue() const { return m_installingIndexInQueue; }
    bool isBusy() const { return !m_installingQueue.isEmpty() || m_stopping; }
    // Side work of ended jobs (custom LUTs, the manifests of what they placed) still running.
    bool hasSideWork() const { return !m_sideWork.isEmpty() || !m_manifestWrites.isEmpty(); }
    // Download-information requests sent and not answered yet.
    bool hasRequestsInFlight() const { return !m_sentRequests.isEmpty(); }
    const QStringList &notAutoKillList() const { return m_notAutoKillList; }

    enum class DownloadState { none, running, paused };
    // Whether the running job's package is downloading, or paused by the customer.
    DownloadState downloadState() const { return m_downloadState; }
    // Stops the running job's download, keeping what arrived; the job waits until resumeDownload() continues it
    // where it stopped.
    void pauseDownload();
    void resumeDownload();

    // What the progress strip shows.
    QString stripTitle() const { return m_stripTitle; }
    QString stripPercentText() const { return m_stripPercentText; }
    double stripValue() const { return m_stripValue; }
    bool stripVisible() const { return m_stripVisible; }

Q_SIGNALS:
    void stripChanged();
    // Bytes of the running job's package received so far, of total (-1 when unknown).
    void packageProgressed(qint64 received, qint64 total);
    // The running job's download was cut and is tried again: "Reconnecting… (attempt/attempts)".
    void downloadReconnecting(int attempt, int attempts);
    // The library row of this record shows a changed job state.
    void rowReloadRequested(const klv::OutlineViewItem &record);
    // The download-information request for product ended; unless it was accepted nothing was queued, and the
    // message says why.
    void downloadInfoHandled(const QString &product, klv::InstallationEngine::DownloadInfoOutcome outcome,
                             const QString &message);
    void jobStarted(const klv::InstallationItem &job);
    // A product of the answer was not queued: refused by the store or already installed.
    void installationRefused(const QString &product, const QString &message);
    // "installation complete" for the front end's notification.
    void installationCompleted(const QString &productName);
    void jobFailed(const QString &productName, const QString &message);
    // A job placed its product, but the library that records its new state could not be written: until it can,
    // a new start shows the product as it was before the job.
    void libraryNotStored(const QString &productName, const QString &reason);
    void queueFinished();
    void sideWorkFinished();

private:
    struct Request {
        QString name;
        qint64 id = 0;
        bool isUpdate = false;
    };

    void handleDownloadInfo(const StoreResponse &response, const OutlineViewItem &item, const QString &requestUrl);
    void enqueueTemplateEntry(const QString &key, const QJsonValue &value);
    void enqueueComposite(const QJsonObject &entry);
    void finishCurrentJob();
    // Describes what the job placed, with what the product had before, in its manifest (on a worker). Writes go one
    // after another, so that looks placed after their job ended join the manifest rather than race its writing.
    void recordManifest(const InstallationItem &job, const QStringList &placedItems,
                        const UnpackedFiles &unpackedFiles);
    void writeNextManifest();
    // Before an update places anything: marks it unfinished until it completes (see UnfinishedUpdate).
    void markUpdateUnfinished(const InstallationItem &job);
    void unmarkFailedUpdate(const InstallationItem &job);
    void notePartPlaced(const InstallationItem &job, const QString &part);
    // Leaves out of a repair's job the parts whose installed items are whole.
    void limitToRepair(InstallationItem &job, const QStringList &damagedItems) const;
    void failCurrentJob(const QString &message);
    // Before the running job writes anything: whether it and every job queued behind it fit on their disks.
    // When they do not, they all fail with one alert and the queue empties.
    bool refuseQueueWithoutRoom();
    void advance();
    void clearQueue();
    // Cancels the running job's installers and calls whenStopped once each of them has stopped.
    void stopJobInstallers(std::function<void()> whenStopped);
    // At a job's normal end its side work goes on; the other installers are done.
    // Side work that goes on adds what it places to the job's manifest when it ends.
    void releaseJobInstallers(const InstallationItem &job);
    double overallProgress(const InstallationItem &job) const;
    void updateStrip(double value);
    void setStepText(const QString &suffix);
    QString bytesSoFarText() const;
    void takePackageProgress(qint64 received, qint64 total);
    const OutlineViewItem *libraryRecord(const QString &name, qint64 id, bool withoutChildren) const;
    // Tells the rows of a request's record that it changed.
    void reloadRequestRow(const Request &request);
    const InstallationItem *queuedJob(const QString &name, qint64 recordId, qsizetype *position = nullptr) const;
    // Why the job may not run now that its turn has come: its product was installed, or removed, meanwhile.
    Error stateRefusal(const InstallationItem &job);
    void refreshLibraryStates(const QHash<QString, qint64> &names);
    QString jobFolder(const InstallationItem &job) const;
    // The row of the job being installed shows a changed state (paused, resumed).
    void reloadRunningRow();
    // The job's download folder and all in it; logged when it cannot go.
    void removeJobFolder(const InstallationItem &job) const;

    Services &m_services;
    ProductLibrary &m_library;
    QList<Request> m_waitingRequests;
    QList<Request> m_sentRequests;
    QList<InstallationItem> m_installingQueue;
    qsizetype m_installingIndexInQueue = -1;
    bool m_isNewInstall = false;
    bool m_queueHeld = false;
    // Products being repaired, with the installed items to replace.
    QHash<QString, QStringList> m_repairs;
    struct ManifestWrite {
        QString path;
        QString product;
        qint64 productId = 0;
        QString version;
        QStringList placedItems;
        UnpackedFiles unpackedFiles;
    };
    // The first is being written.
    QList<ManifestWrite> m_manifestWrites;
    // The running update holds the product's unfinished-update mark; what the mark said before it, to go back to
    // when the job fails.
    bool m_updateMarked = false;
    std::optional<UnfinishedUpdate::Mark> m_markBeforeJob;
    QStringList m_notAutoKillList;
    JobInstallerFactory m_createJobInstallers;
    QList<QPointer<JobInstaller>> m_jobInstallers;
    bool m_stopping = false;
    bool m_cancelPending = false;
    QList<QPointer<JobInstaller>> m_sideWork;
    QString m_stepText;
    // The running job's package so far: it stays in view while the download waits (paused, reconnecting).
    qint64 m_packageReceived = 0;
    qint64 m_packageTotal = -1;
    // Of the running job: the components reported so far, and those done at their first report.
    QSet<QString> m_componentsReported;
    QSet<QString> m_componentsWithoutWork;
    QString m_stripTitle;
    QString m_stripPercentText;
    double m_stripValue = 0.0;
    bool m_stripVisible = false;
    DownloadState m_downloadState = DownloadState::none;
};

} // namespace klv
