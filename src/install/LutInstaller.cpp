#include "install/LutInstaller.h"

#include "core/FolderCreation.h"
#include "core/SafeName.h"
#include "install/ArchivePlacement.h"
#include "install/StagedPlacement.h"
#include "install/WorkerTask.h"
#include "library/InstallationItem.h"
#include "library/WholeTextLink.h"
#include "store/Services.h"

#include <QDir>
#include <QJsonArray>

namespace klv {

using namespace Qt::StringLiterals;

LutInstaller::LutInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent)
    : JobInstaller(parent)
    , m_services(environment.services)
    , m_jobName(job.product_name) {
    for (const QJsonValue &address : job.downloadExtraInfo.value("appleCustomLut"_L1).toArray()) {
        if (address.isString())
            m_addresses.append(address.toString());
    }
}

LutInstaller::~LutInstaller() {
    m_stop.request_stop();
}

void LutInstaller::start() {
    // The job name becomes part of a folder name; an unsafe one installs no LUTs, and the job goes on.
    if (const Error unsafe = unsafePathComponentReason(m_jobName); unsafe && !m_addresses.isEmpty()) {
        m_services.reporter().appendLog(u"No custom LUTs are installed for this job: "_s + *unsafe);
        m_addresses.clear();
    }
    installNext();
}

void LutInstaller::cancel() {
    m_cancelled = true;
    m_stop.request_stop();
    if (auto *download = m_download.data())
        download->cancel();
    stopWhenIdle();
}

void LutInstaller::installNext() {
    if (m_cancelled)
        return;
    const Reporter &reporter = m_services.reporter();
    const Locations &locations = m_services.locations();
    const QString temporaryFolder = locations.downloads().looksFolder(m_jobName);

    while (m_next < m_addresses.size()) {
        const QString &address = m_addresses.at(m_next++);
        const std::optional<QUrl> url = wholeTextLink(address);
        if (!url) {
            reporter.appendLog(u"The custom LUT address “"_s + address + u"” of "_s + m_jobName +
                               u" is not a valid address; it is skipped."_s);
            continue;
        }
        if (const Error error = createFolderWithParents(temporaryFolder)) {
            reporter.showAlert(
                u"Alert"_s,
                u"Failed to create Temporary Apple Custom Lut folder for "_s + m_jobName + u" : "_s + *error, u"OK"_s);
            continue;
        }
        if (const Error error = createFolderWithParents(locations.customLUTsFolderURL)) {
            reporter.showAlert(u"Alert"_s,
                               u"Failed to create Apple Custom Lut folder for "_s + m_jobName + u" : "_s + *error,
                               u"OK"_s);
            continue;
        }
        m_download = new PackageDownload(m_services.network(), m_services.store(), *url,
                                         temporaryFolder + u"KLV - "_s + m_jobName + u".zip"_s, this);
        connect(m_download, &PackageDownload::finished, this, &LutInstaller::downloadFinished);
        m_download->start();
        return;
    }
    finishSideWork();
}

void LutInstaller::downloadFinished(const PackageDownload::Result &result) {
    if (auto *download = m_download.data())
        download->deleteLater();
    if (m_cancelled)
        return;
    if (!result.succeeded()) {
        m_services.reporter().appendLog(u"The custom LUT archive "_s + m_addresses.at(m_next - 1) + u" of "_s +
                                        m_jobName + u" could not be downloaded: "_s + result.error);
        installNext();
        return;
    }
    // Each archive's looks are staged and swapped in whole, so a broken one leaves the customer's looks as they were.
    // The archive stays: the next one of the job is saved under the same name.
    const QString journal = m_services.locations().downloads().journalFile(m_jobName, u"looks"_s);
    runWorkerStep(
        [archive = result.filePath, folder = m_services.locations().customLUTsFolderURL, journal,
         stop = m_stop.get_token()] {
            StagedPlacement placement(journal);
            ArchiveExtractor::Result placed = placeArchive(archive, folder, placement, stop);
            if (placed.succeeded())
                placement.keep();
            else
                placement.takeBack();
            return placed;
        },
        [this, address = m_addresses.at(m_next - 1)](const ArchiveExtractor::Result &placed) {
            for (const QString &item : placed.topLevelItems)
                m_placed.append(QDir(m_services.locations().customLUTsFolderURL).filePath(item));
            m_unpackedFiles += placed.unpackedFiles;
            if (placed.error)
                m_services.reporter().showAlert(u"Alert"_s,
                                                u"The custom LUT archive "_s + address + u" of "_s + m_jobName +
                                                    u" could not be installed: "_s + *placed.error,
                                                u"OK"_s);
            installNext();
        });
}

} // namespace klv
