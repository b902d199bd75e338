#include "install/InstallationEngine.h"

#include "core/ByteCountFormat.h"
#include "core/ContainedRemoval.h"
#include "core/Diagnostics.h"
#include "core/SafeName.h"
#include "install/DiskSpaceCheck.h"
#include "install/DownloadInfoAnswer.h"
#include "install/InstallersForJob.h"
#include "install/JobInstaller.h"
#include "install/JobSpaceNeeds.h"
#include "install/WorkerTask.h"
#include "library/InstallManifest.h"
#include "library/ProductLibrary.h"
#include "library/UnfinishedUpdate.h"
#include "store/DesktopServices.h"
#include "store/JsonDecoding.h"
#include "store/LenientJson.h"
#include "store/Services.h"
#include "store/StoreClient.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

QString alreadyInstalledText(const QString &name) {
    return u"Product '"_s + name +
           u"' Already installed, please check in the 'Motion Template' folder to verify, restart the app in case "
           u"not update. It it still now show up, please let us know so we can fix it"_s;
}

// Library rows of bundle members may carry the maker's prefix; the store's answers never do.
QString jobName(const OutlineViewItem &record) {
    return QString(record.product_name).remove(u"Vantory - "_s);
}

} // namespace

InstallationEngine::InstallationEngine(Services &services, ProductLibrary &library, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_library(library) {}

InstallationEngine::~InstallationEngine() {
    for (const QPointer<JobInstaller> &running : std::as_const(m_jobInstallers)) {
        if (JobInstaller *installer = running.data()) {
            installer->disconnect(this);
            installer->cancel();
        }
    }
}

void InstallationEngine::setJobInstallerFactory(JobInstallerFactory factory) {
    m_createJobInstallers = std::move(factory);
}

void InstallationEngine::holdRequest(const OutlineViewItem &item, bool isNewInstall) {
    const Request request{item.product_name, item.product_id, !isNewInstall};
    m_waitingRequests.append(request);
    reloadRequestRow(request);
}

void InstallationEngine::dropWaitingRequests() {
    for (const Request &request : std::exchange(m_waitingRequests, {}))
        reloadRequestRow(request);
}

void InstallationEngine::reloadRequestRow(const Request &request) {
    if (const OutlineViewItem *row = libraryRecord(request.name, request.id, false))
        Q_EMIT rowReloadRequested(*row);
}

void InstallationEngine::requestInstallation(const OutlineViewItem &item, bool isNewInstall) {
    m_isNewInstall = isNewInstall;
    const auto waiting = std::find_if(m_waitingRequests.cbegin(), m_waitingRequests.cend(), [&item](const Request &r) {
        return r.name == item.product_name && r.id == item.product_id;
    });
    if (waiting != m_waitingRequests.cend())
        m_waitingRequests.erase(waiting);
    const Request request{item.product_name, item.product_id, !isNewInstall};
    m_sentRequests.append(request);
    reloadRequestRow(request);
    const QStringList parameters{m_services.settings().userEmail,
                                 QString::number(item.product_id),
                                 item.product_name,
                                 m_services.macOSVersion,
                                 u"2"_s,
                                 item.children.isEmpty() ? u"false"_s : u"true"_s};
    auto url = std::make_shared<QString>();
    *url = m_services.store().send(
        StoreEndpoint::product, u"requestDownloadInfo"_s, parameters, this,
        [this, item, url](const StoreResponse &response) { handleDownloadInfo(response, item, *url); });
}

void InstallationEngine::requestRepair(const OutlineViewItem &item, const QStringList &damagedItems) {
    m_repairs.insert(jobName(item), damagedItems);
    // Installed products are repaired in place, as an update would; one whose every item went is installed anew.
    requestInstallation(item, !item.isInstalled);
}

void InstallationEngine::handleDownloadInfo(const StoreResponse &response, const OutlineViewItem &item,
                                            const QString &requestUrl) {
    bool isNewInstall = m_isNewInstall;
    const auto sent = std::find_if(m_sentRequests.cbegin(), m_sentRequests.cend(), [&item](const Request &request) {
        return request.name == item.product_name && request.id == item.product_id;
    });
    if (sent != m_sentRequests.cend()) {
        isNewInstall = !sent->isUpdate;
        m_sentRequests.erase(sent);
    }
    // However the answer ends, the row stops showing the request and shows its jobs, or nothing.
    const auto reloadRow = qScopeGuard([this, &item] { reloadRequestRow({item.product_name, item.product_id}); });
    const Reporter &reporter = m_services.reporter();
    if (!response.hasBody) {
        reporter.appendLog(u"KLVApp_Error: While get Customer Product Info "_s + response.transportError);
        reporter.showAlert(u"Alert"_s, u"Failed to request the Install info"_s, u"OK"_s);
        Q_EMIT downloadInfoHandled(item.product_name, DownloadInfoOutcome::noAnswer,
                                   u"The store could not be reached: "_s + response.transportError);
        return;
    }
    const std::optional<QJsonObject> answer = decodeJSONObject(response.body, m_services.log());
    if (!answer) {
        reporter.appendLog(u"Failed to convert the data object result from "_s +
                           m_services.store().endpointAddress(StoreEndpoint::product) + u"with url : "_s + requestUrl);
        Q_EMIT downloadInfoHandled(item.product_name, DownloadInfoOutcome::unusable,
                                   u"The store's answer could not be read."_s);
        return;
    }
    const DownloadInfoAnswer decoded = DownloadInfoAnswer::decode(*answer);
    if (decoded.kind == DownloadInfoAnswer::Kind::nothingToInstall) {
        // A yes with nothing to install must not pass for an installation.
        const QString message = u"The store's answer names nothing to install for "_s + item.product_name;
        reporter.appendLog(message);
        Q_EMIT downloadInfoHandled(item.product_name, DownloadInfoOutcome::unusable, message);
        return;
    }
    if (decoded.kind == DownloadInfoAnswer::Kind::accepted) {
        m_notAutoKillList = decoded.notAutomaticKill;
        // Answers of an install and an update may cross; each is queued as what it was asked for.
        m_isNewInstall = isNewInstall;
        enqueueDownloadInfo(decoded.templateData, decoded.compositeData);
        Q_EMIT downloadInfoHandled(item.product_name, DownloadInfoOutcome::accepted, {});
        return;
    }
    const QString &message = decoded.message;
    reporter.appendLog(message.isEmpty() ? u"Failed to get Customer Product Info"_s : message);
    refreshLibraryStates({{item.product_name, item.product_id}});
    Q_EMIT downloadInfoHandled(item.product_name, DownloadInfoOutcome::refused,
                               message.isEmpty() ? u"The store refused the installation."_s : message);
}

void InstallationEngine::enqueueDownloadInfo(const QJsonObject &templateData, const QJsonArray &compositeData) {
    for (auto entry = templateData.constBegin(); entry != templateData.constEnd(); ++entry)
        enqueueTemplateEntry(entry.key(), entry.value());
    for (const QJsonValue &composite : compositeData)
        enqueueComposite(composite.toObject());
    if (!m_installingQueue.isEmpty() && m_installingIndexInQueue == -1 && !m_queueHeld) {
        m_installingIndexInQueue = 0;
        startCurrentJob();
    } else if (m_stripVisible) {
        // The strip counts the jobs: a product queued behind the running job shows at once.
        updateStrip(m_stripValue / 100.0);
    }
}

void InstallationEngine::holdQueue() {
    m_queueHeld = true;
}

void InstallationEngine::releaseQueue() {
    m_queueHeld = false;
    if (!m_installingQueue.isEmpty() && m_installingIndexInQueue == -1) {
        m_installingIndexInQueue = 0;
        startCurrentJob();
    }
}

void InstallationEngine::enqueueTemplateEntry(const QString &key, const QJsonValue &value) {
    const Reporter &reporter = m_services.reporter();
    if (!value.isObject()) {
        const QString text = u"Failed to get template Data for "_s + key + u" when get the download info"_s;
        reporter.showAlert(u"Alert"_s, text, u"OK"_s);
        // Nothing of that product can be installed: a failure, not a quiet skip.
        bool isNumber = false;
        const qint64 number = key.toLongLong(&isNumber);
        const auto &library = m_library.libraryProducts();
        const auto record = std::find_if(library.cbegin(), library.cend(), [&](const OutlineViewItem &item) {
            return isNumber && item.product_id == number;
        });
        Q_EMIT jobFailed(record != library.cend() ? record->product_name : key, text);
        return;
    }
    const QJsonObject entry = value.toObject();
    const QString message = json::textOr(entry, "msg"_L1);
    const QString name = json::textOr(entry, "product_name"_L1);
    if (name.isEmpty()) {
        const QString text = message == u"not meet requirement"
                                 ? u"This plugin requires a more recent version of MacOS. Please update your MacOS "
                                   u"system and then install the plugin."_s
                                 : u"Failed to get template name for `"_s + key +
                                       u"` when retrieving the download info, "_s + message + u". "_s;
        Q_EMIT installationRefused(key, text);
        if (reporter.showAlert(u"Alert"_s, text, u"OK"_s, u"Copy error to report"_s) == 1) {
            const Settings &settings = m_services.settings();
            m_services.desktop().copyText(u"Error while request download product with ID `"_s + key +
                                          u"`. from user "_s + settings.userName + u", with email "_s +
                                          settings.userEmail);
        }
        return;
    }

    bool isNumber = false;
    qint64 id = key.toLongLong(&isNumber);
    if (!isNumber)
        id = 0;
    const OutlineViewItem *record = libraryRecord(name, id, false);
    if (record && record->isInstalled && m_isNewInstall) {
        const QString text = alreadyInstalledText(name);
        Q_EMIT installationRefused(name, text);
        reporter.showAlert(u"Alert"_s, text, u"OK"_s);
        return;
    }
    // An update replaces what is installed; a bundle's member that never was stays out of it.
    if (record && !record->isInstalled && !m_isNewInstall) {
        m_services.reporter().appendLog(u"Not updating "_s + name + u": it is not installed"_s);
        return;
    }
    const bool isResolve = json::textOr(entry, "mainApplication"_L1) == u"DVR";
    // One job per product: a Resolve job carries 0 as its own number, but not as its record's.
    if (queuedJob(name, id))
        return;

    InstallationItem job;
    job.product_name = name;
    job.recordId = id;
    job.isUpdate = !m_isNewInstall;
    job.downloadExtraInfo.insert(u"dlLink"_s, json::textOr(entry, "dlLink"_L1));
    job.downloadExtraInfo.insert(u"dlSize"_s, json::int64Or(entry, "dlSize"_L1));
    job.progress.insert(templateProgress, 0.0);
    if (isResolve) {
        job.installProcessType = u"dvr"_s;
    } else {
        job.product_id = id;
        job.installProcessType = u"new"_s;
        job.progress.insert(fontsProgress, 0.0);
        job.progress.insert(pluginsProgress, 0.0);
        for (const char *text : {"fxplug", "font", "fonturl"})
            job.downloadExtraInfo.insert(QLatin1StringView(text), json::textOr(entry, QLatin1StringView(text)));
        job.downloadExtraInfo.insert(u"appleCustomLut"_s,
                                     QJsonArray::fromStringList(json::textListOr(entry, "appleCustomLut"_L1)));
    }
    if (m_repairs.contains(name))
        limitToRepair(job, m_repairs.take(name));
    m_installingQueue.append(job);
    if (const OutlineViewItem *row = libraryRecord(name, id, true))
        Q_EMIT rowReloadRequested(*row);
}

void InstallationEngine::enqueueComposite(const QJsonObject &entry) {
    const QString name = json::textOr(entry, "compositeName"_L1);
    const QList<OutlineViewItem> &library = m_library.libraryProducts();
    const auto record = std::find_if(library.cbegin(), library.cend(),
                                     [&name](const OutlineViewItem &item) { return item.product_name == name; });
    const bool repairing = m_repairs.contains(name);
    if (record != library.cend() && record->isInstalled && !repairing)
        return;
    InstallationItem job;
    job.product_name = name;
    job.recordId = record != library.cend() ? record->product_id : 0;
    job.isUpdate = !m_isNewInstall;
    job.installProcessType = u"composite"_s;
    job.repairItems = m_repairs.take(name);
    job.progress.insert(templateProgress, 0.0);
    job.downloadExtraInfo.insert(u"dlLink"_s, json::textOr(entry, "dlLink"_L1));
    job.downloadExtraInfo.insert(u"dlSize"_s, json::int64Or(entry, "dlSize"_L1));
    m_installingQueue.append(job);
    if (const OutlineViewItem *row = libraryRecord(name, 0, false))
        Q_EMIT rowReloadRequested(*row);
}

void InstallationEngine::startCurrentJob() {
    if (m_installingIndexInQueue >= m_installingQueue.size()) {
        m_installingIndexInQueue = -1;
        m_installingQueue.clear();
        m_stepText.clear();
        updateStrip(0.0);
        Q_EMIT queueFinished();
        return;
    }
    const InstallationItem &job = m_installingQueue[m_installingIndexInQueue];
    qCDebug(klvInstall).noquote() << "Job" << m_installingIndexInQueue + 1 << "of" << m_installingQueue.size()
                                  << "starts:" << job.product_name << job.installProcessType
                                  << (job.isUpdate ? "update" : "install");
    m_stepText.clear();
    m_packageReceived = 0;
    m_packageTotal = -1;
    m_downloadState = DownloadState::none;
    m_componentsReported.clear();
    m_componentsWithoutWork.clear();

    // Another program may have installed or removed the product while this job waited for its turn.
    if (const Error refusal = stateRefusal(job)) {
        const QString name = job.product_name;
        Q_EMIT installationRefused(name, *refusal);
        m_services.reporter().showAlert(u"Alert"_s, *refusal, u"OK"_s);
        QMetaObject::invokeMethod(this, &InstallationEngine::advance, Qt::QueuedConnection);
        return;
    }

    // A store name becomes a folder name below; one that is not a single safe name fails its job.
    if (const Error unsafe = unsafePathComponentReason(job.product_name)) {
        QMetaObject::invokeMethod(
            this, [this, reason = *unsafe] { failCurrentJob(reason); }, Qt::QueuedConnection);
        return;
    }
    if (refuseQueueWithoutRoom())
        return;
    if (job.installProcessType == u"new") {
        if (const Error error = ensureFolder(jobFolder(job), m_services.log()))
            m_services.reporter().showAlert(
                u"Alert"_s, u"Failed to create Temporary folder for "_s + job.product_name + u" : "_s + *error,
                u"OK"_s);
        m_services.reporter().appendLog(u"Installing "_s + job.product_name);
    }

    const InstallEnvironment environment{m_services, m_notAutoKillList};
    const QList<JobInstaller *> installers = m_createJobInstallers ? m_createJobInstallers(environment, job, this)
                                                                   : createJobInstallers(environment, job, this);
    for (JobInstaller *installer : installers) {
        m_jobInstallers.append(installer);
        // Before the job's progress is taken: the last part's report may end the job.
        connect(installer, &JobInstaller::progressed, this, [this, installer, job](const QString &, double value) {
            if (value == 1.0)
                notePartPlaced(job, installer->partName());
        });
        connect(installer, &JobInstaller::sideWorkFinished, this,
                [this, installer, job] { notePartPlaced(job, installer->partName()); });
        connect(installer, &JobInstaller::progressed, this, &InstallationEngine::reportProgress);
        connect(installer, &JobInstaller::stepChanged, this, &InstallationEngine::setStepText);
        connect(installer, &JobInstaller::packageProgressed, this, &InstallationEngine::takePackageProgress);
        // The bytes so far stay in view while the download waits.
        connect(installer, &JobInstaller::reconnecting, this, [this](int attempt, int attempts) {
            setStepText(bytesSoFarText() + QStringLiteral(" - Reconnecting… (%1/%2)").arg(attempt).arg(attempts));
            Q_EMIT downloadReconnecting(attempt, attempts);
        });
        connect(installer, &JobInstaller::failed, this, &InstallationEngine::failCurrentJob);
    }
    markUpdateUnfinished(job);
    if (const OutlineViewItem *row = libraryRecord(job.product_name, job.recordId, true))
        Q_EMIT rowReloadRequested(*row);
    updateStrip(0.0);
    Q_EMIT jobStarted(job);
    // Started from the event loop once everything is wired. An installer may end the job from start(); the
    // ones that belong to no running job any more are then not started.
    QMetaObject::invokeMethod(
        this,
        [this, installers = m_jobInstallers] {
            for (const QPointer<JobInstaller> &pending : installers) {
                JobInstaller *installer = pending.data();
                if (installer && m_jobInstallers.contains(pending))
                    installer->start();
            }
        },
        Qt::QueuedConnection);
}

void InstallationEngine::reportProgress(const QString &component, double value) {
    if (m_installingIndexInQueue < 0 || m_installingIndexInQueue >= m_installingQueue.size())
        return;
    InstallationItem &job = m_installingQueue[m_installingIndexInQueue];
    job.progress.insert(component, value);
    if (!m_componentsReported.contains(component)) {
        m_componentsReported.insert(component);
        if (value == 1.0)
            m_componentsWithoutWork.insert(component);
    }
    updateStrip(runningJobProgress());
    if (overallProgress(job) == 1.0)
        finishCurrentJob();
}

double InstallationEngine::overallProgress(const InstallationItem &job) const {
    if (job.installProcessType == u"new")
        return (job.progress.value(templateProgress) + job.progress.value(fontsProgress) +
                job.progress.value(pluginsProgress)) /
               3.0;
    return job.progress.value(templateProgress);
}

double InstallationEngine::runningJobProgress() const {
    if (m_installingIndexInQueue < 0 || m_installingIndexInQueue >= m_installingQueue.size())
        return 0.0;
    const InstallationItem &job = m_installingQueue[m_installingIndexInQueue];
    double sum = 0.0;
    int counted = 0;
    for (auto component = job.progress.cbegin(); component != job.progress.cend(); ++component) {
        if (!m_componentsWithoutWork.contains(component.key())) {
            sum += component.value();
            ++counted;
        }
    }
    return counted > 0 ? sum / counted : overallProgress(job);
}

double InstallationEngine::jobProgress(const QString &productName, qint64 productId) const {
    qsizetype position = 0;
    const InstallationItem *job = queuedJob(productName, productId, &position);
    if (!job)
        return -2.0;
    return position > m_installingIndexInQueue ? -1.0 : overallProgress(*job);
}

JobState InstallationEngine::jobState(const OutlineViewItem &record) const {
    const auto isTheRecord = [&record](const Request &request) {
        return request.name == record.product_name && request.id == record.product_id;
    };
    for (const QList<Request> *requests : {&m_sentRequests, &m_waitingRequests}) {
        const auto found = std::find_if(requests->cbegin(), requests->cend(), isTheRecord);
        if (found != requests->cend())
            return {requests == &m_sentRequests ? JobState::Phase::requested : JobState::Phase::waiting,
                    found->isUpdate};
    }
    qsizetype position = 0;
    const InstallationItem *job = queuedJob(jobName(record), record.product_id, &position);
    if (!job)
        return {};
    if (position > m_installingIndexInQueue)
        return {JobState::Phase::queued, job->isUpdate};
    if (position < m_installingIndexInQueue || overallProgress(*job) == 1.0)
        return {JobState::Phase::finished, job->isUpdate};
    return {JobState::Phase::running, job->isUpdate, m_downloadState == DownloadState::paused};
}

const InstallationItem *InstallationEngine::queuedJob(const QString &name, qint64 recordId, qsizetype *position) const {
    for (qsizetype i = 0; i < m_installingQueue.size(); ++i) {
        const InstallationItem &job = m_installingQueue[i];
        if (job.product_name == name && job.recordId == recordId) {
            if (position)
                *position = i;
            return &job;
        }
    }
    return nullptr;
}

Error InstallationEngine::stateRefusal(const InstallationItem &job) {
    refreshLibraryStates({{job.product_name, job.recordId}});
    const OutlineViewItem *record = libraryRecord(job.product_name, job.recordId, false);
    if (!record)
        return std::nullopt;
    if (!job.isUpdate && record->isInstalled)
        return alreadyInstalledText(job.product_name);
    if (job.isUpdate && !record->isInstalled)
        return u"Product '"_s + job.product_name + u"' is no longer installed, so there is nothing to update."_s;
    return std::nullopt;
}

void InstallationEngine::finishCurrentJob() {
    const InstallationItem job = m_installingQueue[m_installingIndexInQueue];
    QStringList placed;
    UnpackedFiles unpacked;
    bool partsPending = false;
    for (const QPointer<JobInstaller> &installer : std::as_const(m_jobInstallers)) {
        if (JobInstaller *live = installer.data()) {
            placed += live->placedItems();
            unpacked += live->unpackedFiles();
            live->commit();
            partsPending = partsPending || (live->isSideWork() && !live->isSideWorkDone());
        }
    }
    releaseJobInstallers(job);
    qCDebug(klvInstall).noquote() << "Job ends:" << job.product_name << "placed" << placed.size() << "items of"
                                  << unpacked.size() << "unpacked files";
    recordManifest(job, placed, unpacked);
    // Side work still placing its part ends the mark when it is done.
    if (job.isUpdate && !partsPending)
        UnfinishedUpdate::end(m_services.locations().vantoryFolderURL, job.product_name);
    m_updateMarked = false;
    m_services.reporter().appendLog(u"Installed "_s + job.product_name);
    Q_EMIT installationCompleted(job.product_name);
    if (job.installProcessType == u"new")
        removeJobFolder(job);
    const Error detected = m_library.detectInstalledStates({{job.product_name, job.recordId}});
    const Error noted = m_library.noteLatestReleaseInstalled(job.product_name, job.recordId);
    if (const Error stored = detected ? detected : noted) {
        m_services.reporter().appendLog(u"The library could not be stored after installing "_s + job.product_name +
                                        u": "_s + *stored);
        Q_EMIT libraryNotStored(job.product_name, *stored);
    }
    m_library.applyLibraryFilter();
    advance();
}

void InstallationEngine::failCurrentJob(const QString &message) {
    if (m_stopping || m_installingIndexInQueue < 0 || m_installingIndexInQueue >= m_installingQueue.size())
        return;
    // The job folder goes and the failure is told only once no worker uses the folder and every component has
    // taken back what it placed.
    stopJobInstallers([this, message] {
        const InstallationItem job = m_installingQueue[m_installingIndexInQueue];
        m_services.reporter().showAlert(u"Alert"_s, u"Installing "_s + job.product_name + u" failed: "_s + message,
                                        u"OK"_s);
        if (job.installProcessType == u"new" && isSafePathComponent(job.product_name))
            removeJobFolder(job);
        // Every part is back as it was: as the last update left it, which may itself be unfinished.
        unmarkFailedUpdate(job);
        refreshLibraryStates({{job.product_name, job.recordId}});
        Q_EMIT jobFailed(job.product_name, message);
        if (std::exchange(m_cancelPending, false))
            clearQueue();
        else
            advance();
    });
}

void InstallationEngine::markUpdateUnfinished(const InstallationItem &job) {
    m_updateMarked = false;
    m_markBeforeJob.reset();
    if (!job.isUpdate)
        return;
    const QString makerFolder = m_services.locations().vantoryFolderURL;
    const OutlineViewItem *record = libraryRecord(job.product_name, job.recordId, false);
    UnfinishedUpdate::Mark mark{record ? record->latestRelease : QString(), {}};
    m_markBeforeJob = UnfinishedUpdate::markOf(makerFolder, job.product_name);
    // A second try at the same release keeps what the first one placed.
    if (m_markBeforeJob && m_markBeforeJob->release == mark.release) {
        m_updateMarked = true;
        return;
    }
    for (const QPointer<JobInstaller> &installer : std::as_const(m_jobInstallers)) {
        const JobInstaller *live = installer.data();
        const QString part = live ? live->partName() : QString();
        if (!part.isEmpty())
            mark.partsBehind.append(part);
    }
    if (const Error error = UnfinishedUpdate::begin(makerFolder, job.product_name, mark))
        m_services.reporter().appendLog(u"The update of "_s + job.product_name + u" could not be marked: "_s + *error);
    else
        m_updateMarked = true;
}

void InstallationEngine::unmarkFailedUpdate(const InstallationItem &job) {
    if (!std::exchange(m_updateMarked, false))
        return;
    const QString makerFolder = m_services.locations().vantoryFolderURL;
    const std::optional<UnfinishedUpdate::Mark> before = std::exchange(m_markBeforeJob, std::nullopt);
    if (!before) {
        UnfinishedUpdate::end(makerFolder, job.product_name);
        return;
    }
    if (const Error error = UnfinishedUpdate::begin(makerFolder, job.product_name, *before))
        m_services.reporter().appendLog(u"The unfinished update of "_s + job.product_name +
                                        u" could not be marked again: "_s + *error);
}

void InstallationEngine::notePartPlaced(const InstallationItem &job, const QString &part) {
    if (!job.isUpdate || part.isEmpty())
        return;
    if (const Error error =
            UnfinishedUpdate::partPlaced(m_services.locations().vantoryFolderURL, job.product_name, part))
        m_services.reporter().appendLog(u"The update of "_s + job.product_name + u" could not note its "_s + part +
                                        u": "_s + *error);
}

void InstallationEngine::recordManifest(const InstallationItem &job, const QStringList &placedItems,
                                        const UnpackedFiles &unpackedFiles) {
    if (placedItems.isEmpty())
        return;
    const OutlineViewItem *record = libraryRecord(job.product_name, job.recordId, false);
    m_manifestWrites.append({InstallManifest::pathFor(m_services.locations().vantoryFolderURL, job.product_name),
                             job.product_name, job.recordId, record ? record->latestRelease : QString(), placedItems,
                             unpackedFiles});
    if (m_manifestWrites.size() == 1)
        writeNextManifest();
}

void InstallationEngine::writeNextManifest() {
    const ManifestWrite &write = m_manifestWrites.constFirst();
    runOnWorker(
        this,
        [write] {
            // Items of an earlier version that this one does not replace stay, and stay the product's.
            QStringList items = write.placedItems;
            if (const std::optional<InstallManifest> previous = InstallManifest::read(write.path))
                items += previous->roots;
            items.removeDuplicates();
            return InstallManifest::describe(write.product, write.productId, write.version, items, write.unpackedFiles)
                .write(write.path);
        },
        [this](const std::optional<QString> &error) {
            const ManifestWrite written = m_manifestWrites.takeFirst();
            if (error)
                m_services.reporter().appendLog(u"The manifest of "_s + written.product + u" could not be written: "_s +
                                                *error);
            if (!m_manifestWrites.isEmpty())
                writeNextManifest();
            else if (!hasSideWork())
                Q_EMIT sideWorkFinished();
        });
}

void InstallationEngine::limitToRepair(InstallationItem &job, const QStringList &damagedItems) const {
    job.repairItems = damagedItems;
    const Locations &locations = m_services.locations();
    QStringList plugins;
    for (const QString &plugin : job.downloadExtraInfo.value("fxplug"_L1).toString().split(u',', Qt::SkipEmptyParts)) {
        if (damagedItems.contains(locations.pluginsFolderURL + plugin.trimmed() + u".app"_s))
            plugins << plugin;
    }
    job.downloadExtraInfo.insert(u"fxplug"_s, plugins.join(u','));
    const bool fontDamaged = std::any_of(damagedItems.cbegin(), damagedItems.cend(), [&](const QString &item) {
        return item.startsWith(locations.fontsFolderURL);
    });
    if (!fontDamaged) {
        job.downloadExtraInfo.insert(u"font"_s, QString());
        job.downloadExtraInfo.insert(u"fonturl"_s, QString());
    }
    const bool looksDamaged = std::any_of(damagedItems.cbegin(), damagedItems.cend(), [&](const QString &item) {
        return item.startsWith(locations.customLUTsFolderURL);
    });
    if (!looksDamaged)
        job.downloadExtraInfo.insert(u"appleCustomLut"_s, QJsonArray());
}

bool InstallationEngine::refuseQueueWithoutRoom() {
    DiskSpaceCheck check;
    for (qsizetype i = m_installingIndexInQueue; i < m_installingQueue.size(); ++i)
        addSpaceNeeds(check, m_services.locations(), m_installingQueue[i]);
    const std::optional<DiskSpaceCheck::Shortfall> shortfall = check.shortfall();
    if (!shortfall)
        return false;
    const QString message = shortfall->message();
    QStringList names;
    for (qsizetype i = m_installingIndexInQueue; i < m_installingQueue.size(); ++i)
        names << m_installingQueue[i].product_name;
    m_services.reporter().appendLog(u"Not enough room for "_s + names.join(u", "_s) + u": "_s + message);
    m_services.reporter().showAlert(u"Not Enough Room"_s,
                                    u"Installing "_s + names.join(u", "_s) + u" did not start. "_s + message, u"OK"_s);
    // Told from the event loop, as every other ending of a job is; a cancel meanwhile has emptied the queue.
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            for (qsizetype i = qMax(m_installingIndexInQueue, qsizetype(0)); i < m_installingQueue.size(); ++i)
                Q_EMIT jobFailed(m_installingQueue[i].product_name, message);
            clearQueue();
        },
        Qt::QueuedConnection);
    return true;
}

void InstallationEngine::advance() {
    ++m_installingIndexInQueue;
    startCurrentJob();
}

void InstallationEngine::cancelInstallation() {
    // A failing job is already stopping; the queue empties when it has.
    if (m_stopping) {
        m_cancelPending = true;
        return;
    }
    stopJobInstallers([this] {
        // What the running job downloaded and unpacked goes with it, as when a job fails.
        if (m_installingIndexInQueue >= 0 && m_installingIndexInQueue < m_installingQueue.size()) {
            const InstallationItem &job = m_installingQueue[m_installingIndexInQueue];
            if (job.installProcessType == u"new" && isSafePathComponent(job.product_name))
                removeJobFolder(job);
        }
        clearQueue();
    });
}

void InstallationEngine::clearQueue() {
    QHash<QString, qint64> names;
    for (const InstallationItem &job : std::as_const(m_installingQueue))
        names.insert(job.product_name, job.recordId);
    refreshLibraryStates(names);
    const bool wasRunning = !m_installingQueue.isEmpty();
    m_installingIndexInQueue = -1;
    m_installingQueue.clear();
    m_stepText.clear();
    updateStrip(0.0);
    if (wasRunning)
        Q_EMIT queueFinished();
}

void InstallationEngine::stopJobInstallers(std::function<void()> whenStopped) {
    const QList<QPointer<JobInstaller>> installers = std::exchange(m_jobInstallers, {});
    m_stopping = true;
    // One more than the installers, so that installers stopping at once cannot end the wait early.
    auto remaining = std::make_shared<qsizetype>(installers.size() + 1);
    const auto oneStopped = [this, remaining, whenStopped = std::move(whenStopped)] {
        if (--*remaining > 0)
            return;
        m_stopping = false;
        whenStopped();
    };
    for (const QPointer<JobInstaller> &running : installers) {
        JobInstaller *installer = running.data();
        if (!installer) {
            oneStopped();
            continue;
        }
        installer->disconnect(this);
        if (installer->isStopped()) {
            installer->deleteLater();
            oneStopped();
            continue;
        }
        connect(installer, &JobInstaller::stopped, this, [installer, oneStopped] {
            installer->deleteLater();
            oneStopped();
        });
        installer->cancel();
    }
    oneStopped();
}

void InstallationEngine::releaseJobInstallers(const InstallationItem &job) {
    const QList<QPointer<JobInstaller>> installers = std::exchange(m_jobInstallers, {});
    for (const QPointer<JobInstaller> &pointer : installers) {
        JobInstaller *installer = pointer.data();
        if (!installer)
            continue;
        installer->disconnect(this);
        if (!installer->isSideWork() || installer->isSideWorkDone()) {
            installer->cancel();
            installer->deleteLater();
            continue;
        }
        m_sideWork.append(pointer);
        connect(installer, &JobInstaller::sideWorkFinished, this, [this, installer, job] {
            m_sideWork.removeAll(installer);
            notePartPlaced(job, installer->partName());
            recordManifest(job, installer->placedItems(), installer->unpackedFiles());
            installer->deleteLater();
            if (m_sideWork.isEmpty())
                Q_EMIT sideWorkFinished();
        });
    }
}

void InstallationEngine::takePackageProgress(qint64 received, qint64 total) {
    m_packageReceived = received;
    m_packageTotal = total;
    if (m_downloadState != DownloadState::paused) {
        const DownloadState state = total < 0 || received < total ? DownloadState::running : DownloadState::none;
        if (state != std::exchange(m_downloadState, state))
            Q_EMIT stripChanged();
    }
    Q_EMIT packageProgressed(received, total);
}

void InstallationEngine::pauseDownload() {
    if (m_downloadState != DownloadState::running)
        return;
    bool paused = false;
    for (const QPointer<JobInstaller> &pending : std::as_const(m_jobInstallers)) {
        if (JobInstaller *installer = pending.data())
            paused = installer->pauseDownload() || paused;
    }
    if (!paused)
        return;
    m_downloadState = DownloadState::paused;
    setStepText(bytesSoFarText() + u" - Paused"_s);
    reloadRunningRow();
}

void InstallationEngine::resumeDownload() {
    if (m_downloadState != DownloadState::paused)
        return;
    m_downloadState = DownloadState::running;
    for (const QPointer<JobInstaller> &pending : std::as_const(m_jobInstallers)) {
        if (JobInstaller *installer = pending.data())
            installer->resumeDownload();
    }
    setStepText(bytesSoFarText() + u" - Resuming…"_s);
    reloadRunningRow();
}

void InstallationEngine::reloadRunningRow() {
    if (m_installingIndexInQueue < 0 || m_installingIndexInQueue >= m_installingQueue.size())
        return;
    const InstallationItem &job = m_installingQueue[m_installingIndexInQueue];
    reloadRequestRow({job.product_name, job.recordId, job.isUpdate});
}

QString InstallationEngine::bytesSoFarText() const {
    if (m_packageReceived <= 0)
        return {};
    return u" - "_s + formatByteCount(m_packageReceived) +
           (m_packageTotal > 0 ? u" / "_s + formatByteCount(m_packageTotal) : QString());
}

void InstallationEngine::setStepText(const QString &suffix) {
    m_stepText = suffix;
    if (m_installingIndexInQueue >= 0 && m_installingIndexInQueue < m_installingQueue.size())
        updateStrip(m_stripValue / 100.0);
}

void InstallationEngine::updateStrip(double value) {
    const bool running = m_installingIndexInQueue >= 0 && m_installingIndexInQueue < m_installingQueue.size();
    m_stripVisible = running;
    if (!running)
        m_downloadState = DownloadState::none;
    if (running) {
        m_stripValue = value * 100.0;
        m_stripPercentText = m_services.sharedNumberFormatter.string(value * 100.0) + u'%';
        m_stripTitle = u"Installing ("_s + QString::number(m_installingIndexInQueue + 1) + u" / "_s +
                       QString::number(m_installingQueue.size()) + u")  "_s +
                       m_installingQueue[m_installingIndexInQueue].product_name + m_stepText;
    }
    Q_EMIT stripChanged();
}

const OutlineViewItem *InstallationEngine::libraryRecord(const QString &name, qint64 id, bool withoutChildren) const {
    for (const OutlineViewItem &record : m_library.libraryProducts()) {
        if (record.product_name == name && record.product_id == id && (!withoutChildren || record.children.isEmpty()))
            return &record;
    }
    return nullptr;
}

void InstallationEngine::refreshLibraryStates(const QHash<QString, qint64> &names) {
    if (const Error error = m_library.detectInstalledStates(names))
        m_services.reporter().appendLog(u"The library could not be stored: "_s + *error);
    m_library.applyLibraryFilter();
}

void InstallationEngine::removeJobFolder(const InstallationItem &job) const {
    if (const Error error = ContainedRemoval::removeTree(jobFolder(job)))
        m_services.reporter().appendLog(u"Error while try to check if file exist: "_s + *error);
}

QString InstallationEngine::jobFolder(const InstallationItem &job) const {
    return m_services.locations().downloads().jobFolder(job.product_name);
}

} // namespace klv
