#include "install/PackageJobInstaller.h"

#include "core/SafeName.h"
#include "install/StagedPlacement.h"
#include "library/InstallationItem.h"
#include "library/WholeTextLink.h"
#include "store/Services.h"

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// The download fills this share of the component; the installation step supplies the rest.
constexpr double downloadShare = 0.95;

} // namespace

PackageJobInstaller::PackageJobInstaller(const InstallEnvironment &environment, const InstallationItem &job,
                                         QObject *parent)
    : JobInstaller(parent)
    , m_services(environment.services)
    , m_jobName(job.product_name)
    , m_link(job.downloadExtraInfo.value("dlLink"_L1).toString())
    , m_announcedSize(job.downloadExtraInfo.value("dlSize"_L1).toInteger())
    , m_placement(std::make_shared<StagedPlacement>(
          environment.services.locations().downloads().journalFile(job.product_name, job.installProcessType))) {}

PackageJobInstaller::~PackageJobInstaller() {
    m_stop.request_stop();
}

void PackageJobInstaller::start() {
    // The name becomes a file name in the download folder and in the destination.
    if (const Error unsafe = unsafePathComponentReason(m_jobName)) {
        fail(*unsafe, *unsafe);
        return;
    }
    // Without a usable address the job would wait forever; it fails at once instead.
    const std::optional<QUrl> url = wholeTextLink(m_link);
    if (!url) {
        fail(u"In valid Composite url "_s + m_jobName,
             u"The download address “"_s + m_link + u"” is not a valid address."_s);
        return;
    }
    m_download = new PackageDownload(m_services.network(), m_services.store(), *url, downloadPath(), this);
    m_download->setAnnouncedSize(m_announcedSize);
    // A download cut short, in this run or an earlier one, continues where it stopped.
    m_download->setResumable();
    connect(m_download, &PackageDownload::progressed, this, &PackageJobInstaller::downloadProgressed);
    connect(m_download, &PackageDownload::reconnecting, this, &JobInstaller::reconnecting);
    connect(m_download, &PackageDownload::finished, this, &PackageJobInstaller::downloadFinished);
    m_download->start();
}

void PackageJobInstaller::cancel() {
    m_cancelled = true;
    m_stop.request_stop();
    if (auto *download = m_download.data())
        download->cancel();
    stopWhenIdle();
}

void PackageJobInstaller::commit() {
    StagedPlacement::keepInBackground(m_placement);
}

std::function<void()> PackageJobInstaller::takeBackWork() {
    if (m_placement->isEmpty())
        return {};
    return [placement = m_placement] {
        placement->takeBack();
    };
}

void PackageJobInstaller::fail(const QString &logLine, const QString &message) {
    if (m_cancelled)
        return;
    m_services.reporter().appendLog(logLine);
    Q_EMIT failed(message);
}

void PackageJobInstaller::runStep(Step step) {
    runWorkerStep([step = std::move(step), stop = m_stop.get_token()] { return step(stop); },
                  [this](const StepResult &result) {
                      for (const QString &line : result.logLines)
                          m_services.reporter().appendLog(line);
                      if (result.error) {
                          Q_EMIT failed(*result.error);
                          return;
                      }
                      m_unpackedFiles = result.unpackedFiles;
                      Q_EMIT progressed(templateProgress, 1.0);
                  });
}

void PackageJobInstaller::downloadProgressed(qint64 bytesReceived, qint64 bytesTotal) {
    if (m_cancelled)
        return;
    // An unknown size (-1) counts as no progress yet, as a progress object with no total does.
    const double fraction = bytesTotal > 0 ? double(bytesReceived) / double(bytesTotal) : 0.0;
    Q_EMIT packageProgressed(bytesReceived, bytesTotal);
    Q_EMIT stepChanged(u" - "_s + QString::number(bytesTotal) + u'/' + QString::number(bytesReceived));
    Q_EMIT progressed(templateProgress, fraction * downloadShare);
}

void PackageJobInstaller::downloadFinished(const PackageDownload::Result &result) {
    for (const QString &line : result.logLines(m_jobName))
        m_services.reporter().appendLog(line);
    if (m_cancelled)
        return;
    if (!result.succeeded()) {
        fail(u"The package of "_s + m_jobName + u" could not be downloaded: "_s + result.error, result.error);
        return;
    }
    install(result);
}

QStringList PackageJobInstaller::placedItems() const {
    return m_placement->targets();
}

bool PackageJobInstaller::pauseDownload() {
    PackageDownload *download = m_download.data();
    return download && download->pause();
}

bool PackageJobInstaller::resumeDownload() {
    PackageDownload *download = m_download.data();
    return download && download->resume();
}

} // namespace klv
