#include "install/TemplateInstaller.h"

#include "core/ByteCountFormat.h"
#include "core/ContainedRemoval.h"
#include "install/ArchiveExtractor.h"
#include "install/GrowingDownload.h"
#include "install/PackageDownload.h"
#include "install/PartialDownload.h"
#include "install/StagedPlacement.h"
#include "install/TemplatePreparation.h"
#include "install/WorkerTask.h"
#include "library/WholeTextLink.h"
#include "store/Services.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <future>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

void removeUnpacking(const QString &folder, const Reporter &reporter) {
    if (const Error error = ContainedRemoval::removeTree(folder))
        reporter.appendLog(u"The unpacked package was not removed: "_s + *error);
}

struct Paths {
    QString jobFolder;
    QString templatesFolder;
    QString archive;
    QString olderArchive;
    QString unpackFolder;
};

Paths pathsFor(const Locations &locations, const QString &name) {
    Paths paths;
    paths.jobFolder = locations.downloads().jobFolder(name);
    paths.templatesFolder = paths.jobFolder + u"/Templates";
    // Beside the job folder, so that a download cut short outlives the job and the next one continues it.
    paths.archive = locations.downloads().partialFile(name, u"templates"_s);
    paths.olderArchive = paths.templatesFolder + u"/Vantory - " + name + u".zip";
    paths.unpackFolder = paths.templatesFolder + u"/KLV - " + name;
    return paths;
}

// Reports from the worker, in order, to the installer on the main thread.
class Reports {
public:
    explicit Reports(TemplateInstaller *installer)
        : m_installer(installer) {}
    // Whether the item `done` of a counted phase is worth telling: no more often than a person can read the
    // count, and always the last, so the final count and progress arrive. A pack of a thousand templates would
    // otherwise wake the main thread thousands of times.
    bool due(qsizetype done, qsizetype count) const {
        if (done < count && m_lastTold.isValid() && m_lastTold.elapsed() < tellingIntervalMs)
            return false;
        m_lastTold.start();
        return true;
    }
    void step(const QString &suffix) const {
        postToMainThread(m_installer, [installer = m_installer, suffix] { Q_EMIT installer->stepChanged(suffix); });
    }
    void progress(double value) const {
        postToMainThread(m_installer, [installer = m_installer, value] { installer->reportTemplateProgress(value); });
    }
    void unpacked(qint64 written, qint64 total, qint64 read) const {
        postToMainThread(m_installer, [installer = m_installer, written, total, read] {
            installer->takeUnpackedBytes(written, total, read);
        });
    }

private:
    static constexpr qint64 tellingIntervalMs = 40;
    QPointer<TemplateInstaller> m_installer;
    mutable QElapsedTimer m_lastTold;
};

// The Motion type folders of the unpacked package: name to location (a later duplicate replaces an earlier one).
// Anything else beside them (a read-me, a misspelt type) is logged and left out; junk was never unpacked.
QMap<QString, QString> typeFolders(const QString &unpackFolder, const Locations &locations, const Reporter &reporter) {
    QMap<QString, QString> types;
    const QFileInfoList tops =
        QDir(unpackFolder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &top : tops) {
        if (!top.isDir())
            continue;
        for (const QFileInfo &type :
             QDir(top.filePath()).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
            if (!locations.motionFolderByCategory.contains(type.fileName()) || !type.isDir() || type.isSymLink()) {
                reporter.appendLog(
                    u"KLVApp_Error: Failed to get the destination for the template witht the effect type: "_s +
                    type.fileName() + u" at "_s + type.filePath());
                continue;
            }
            types.insert(type.fileName(), type.filePath());
        }
    }
    return types;
}

// The template progress: downloading and unpacking side by side up to preparedShare, then the preparation, then the
// moves up to 0.99; 1.0 once every template stands.
constexpr double transferShare = 0.45;
constexpr double preparedShare = 2 * transferShare;
constexpr double placedShare = 0.95;

struct Outcome {
    std::optional<QString> error;
    bool cancelled = false;
    UnpackedFiles unpackedFiles = {};
};

Outcome cancelledOutcome() {
    return {std::nullopt, true};
}

// Whether the unpacked entry is a template document that the preparation step prepares: below a Motion type folder,
// and neither hidden nor inside a hidden folder there.
bool isTemplateDocumentEntry(const QStringList &components, const Locations &locations) {
    if (components.size() < 3 || !locations.motionFolderByCategory.contains(components[1]) ||
        !TemplatePreparation::isTemplateDocument(components.constLast()))
        return false;
    return std::none_of(components.cbegin() + 2, components.cend(),
                        [](const QString &component) { return component.startsWith(u'.'); });
}

// What the unpacking wrote that later steps need to know: the template documents and those of them already prepared
// on their way to the disk.
struct UnpackedDocuments {
    QSet<QString> documents;
    TemplatePreparation::PreparedDocuments prepared;

    // The documents below folder, in order.
    QStringList documentsBelow(const QString &folder) const {
        const QString prefix = folder + u'/';
        QStringList below;
        for (const QString &path : documents) {
            if (path.startsWith(prefix))
                below.append(path);
        }
        below.sort();
        return below;
    }
};

// Template documents small enough to hold are prepared while they are unpacked, so that each is written once;
// the preparation step then counts them with what was done to them. Every document is noted, so that no walk of the
// unpacked folders has to find them again.
ArchiveExtractor::EntryEditor preparingEditor(const Paths &paths, const Locations &locations,
                                              UnpackedDocuments &unpacked) {
    const auto pathOf = [root = QDir(paths.unpackFolder)](const QStringList &components) {
        return root.filePath(components.join(u'/'));
    };
    return {TemplatePreparation::defaultChunkBytes,
            [&locations, &unpacked, pathOf](const QStringList &components) {
                if (!isTemplateDocumentEntry(components, locations))
                    return false;
                const QString path = pathOf(components);
                unpacked.documents.insert(path);
                // An entry written again is prepared again.
                unpacked.prepared.remove(path);
                return true;
            },
            [&unpacked, pathOf](const QStringList &components, QByteArray &content) {
                unpacked.prepared.insert(pathOf(components), TemplatePreparation::prepareContent(content));
            }};
}

// Prepares every template document of the package; the first document that cannot be prepared fails it.
Outcome prepareTemplates(const QMap<QString, QString> &types, const UnpackedDocuments &unpacked,
                         const Reporter &reporter, const Reports &reports, std::stop_token stop) {
    for (const QString &folder : types) {
        const TemplatePreparation::FolderSummary summary = TemplatePreparation::prepareDocuments(
            unpacked.documentsBelow(folder),
            [&](qsizetype index, qsizetype count, const QString &path, const TemplatePreparation::FileResult &result) {
                if (reports.due(index + 1, count)) {
                    reports.step(QStringLiteral(" - Prepping Templates %1 / %2").arg(index + 1).arg(count));
                    reports.progress(preparedShare + (placedShare - preparedShare) * double(index + 1) / double(count));
                }
                if (result.outcome == TemplatePreparation::Outcome::CanvasPresent)
                    reporter.appendLog(u"<canvas> exist!"_s);
                else if (result.outcome == TemplatePreparation::Outcome::Failed)
                    reporter.appendLog(u"KLVApp_Error: "_s + path + u": "_s + result.error.value_or(QString()));
            },
            stop, unpacked.prepared);
        if (stop.stop_requested())
            return cancelledOutcome();
        if (!summary.errors.isEmpty())
            return {u"a template could not be prepared: "_s + summary.errors.constFirst(), false};
    }
    return {};
}

// Stages every template folder beside its destination (a repair: only those it replaces), then swaps them all in.
// Until then no destination changes.
Outcome placeTemplates(const QMap<QString, QString> &types, const Locations &locations, const QStringList &repairItems,
                       const Reporter &reporter, const Reports &reports, StagedPlacement &placement,
                       std::stop_token stop) {
    for (const QString &folder : locations.motionFolderByCategory)
        StagedPlacement::removeLeftovers(folder);
    for (auto type = types.cbegin(); type != types.cend(); ++type) {
        const QString destination = locations.motionFolderByCategory.value(type.key());
        const QStringList templates =
            QDir(type.value()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        for (qsizetype k = 0; k < templates.size(); ++k) {
            const QString &entry = templates[k];
            if (!repairItems.isEmpty() && !repairItems.contains(destination + entry))
                continue;
            if (stop.stop_requested()) {
                placement.takeBack();
                return cancelledOutcome();
            }
            const QString source = type.value() + u'/' + entry;
            if (const Error error = placement.stage(source, destination + entry)) {
                placement.takeBack();
                return {u"a template could not be placed: "_s + *error, false};
            }
            if (reports.due(k + 1, templates.size())) {
                reports.step(QStringLiteral(" - Moving Templates %1 / %2").arg(k + 1).arg(templates.size()));
                reports.progress(placedShare + (0.99 - placedShare) * double(k + 1) / double(templates.size()));
            }
            if (k % 10 == 0)
                reporter.appendLog(QStringLiteral("Moved Template %1 / %2").arg(k).arg(templates.size()));
        }
    }
    if (const Error error = placement.swapIn())
        return {u"a template could not be placed: "_s + *error, false};
    return {};
}

// Unpacks the package while it downloads.
Outcome unpackPackage(const Paths &paths, const GrowingDownload &download, const Locations &locations,
                      UnpackedDocuments &unpacked, const Reports &reports, std::stop_token stop) {
    ArchiveExtractor extractor(ArchiveExtractor::defaultByteLimit,
                               [&reports](qint64 written, qint64 total, qint64 read) {
                                   if (reports.due(written, total > 0 ? total : written + 1))
                                       reports.unpacked(written, total, read);
                               });
    extractor.setEntryEditor(preparingEditor(paths, locations, unpacked));
    const ArchiveExtractor::Result extraction =
        extractor.extractGrowing(paths.archive, download, paths.unpackFolder, stop);
    if (extraction.cancelled)
        return cancelledOutcome();
    if (!extraction.error)
        return {std::nullopt, false, extraction.unpackedFiles};
    // Unreadable archives have waited for the end of the download; a failed download is told as it is.
    if (extraction.unreadable) {
        if (const Error downloadError = download.waitForEnd(stop))
            return {*downloadError, false};
    }
    return {u"the package could not be unpacked: "_s + *extraction.error, false};
}

Outcome installPackage(const Paths &paths, const QString &name, const GrowingDownload &download,
                       const Locations &locations, const QStringList &repairItems, const Reporter &reporter,
                       const Reports &reports, StagedPlacement &placement, std::stop_token stop) {
    // A killed run may have left a half-prepared unpacking; nothing of it may join the new one.
    removeUnpacking(paths.unpackFolder, reporter);
    UnpackedDocuments unpacked;
    const Outcome unpacking = unpackPackage(paths, download, locations, unpacked, reports, stop);
    // A whole package has served, or cannot serve: the next job downloads anew. What a cut download left is the
    // download's to keep for the next attempt. Removing hundreds of megabytes takes a while: it goes on beside the
    // preparation and the placement, and is over when the job is.
    const bool whole = !unpacking.cancelled && download.completed();
    const std::future<void> removal = std::async(std::launch::async, [archive = paths.archive, whole] {
        if (whole)
            QFile::remove(archive);
    });
    if (unpacking.error || unpacking.cancelled)
        return unpacking;

    const QMap<QString, QString> types = typeFolders(paths.unpackFolder, locations, reporter);
    if (types.isEmpty())
        return {u"the package holds no Motion templates."_s, false};
    if (Outcome done = prepareTemplates(types, unpacked, reporter, reports, stop); done.error || done.cancelled)
        return done;
    if (Outcome placed = placeTemplates(types, locations, repairItems, reporter, reports, placement, stop);
        placed.error || placed.cancelled)
        return placed;

    reporter.appendLog(u"Done Install Template for : "_s + name);
    // A download left under the name earlier versions of the app used.
    QFile::remove(paths.olderArchive);
    removeUnpacking(paths.unpackFolder, reporter);
    return unpacking;
}

} // namespace

TemplateInstaller::TemplateInstaller(const InstallEnvironment &environment, const InstallationItem &job,
                                     QObject *parent)
    : JobInstaller(parent)
    , m_services(environment.services)
    , m_job(job)
    , m_placement(std::make_shared<StagedPlacement>(
          environment.services.locations().downloads().journalFile(job.product_name, u"templates"_s))) {}

TemplateInstaller::~TemplateInstaller() {
    m_stop->request_stop();
}

void TemplateInstaller::start() {
    const QString name = m_job.product_name;
    const std::optional<QUrl> link = wholeTextLink(m_job.downloadExtraInfo.value(u"dlLink").toString());
    if (!link) {
        Q_EMIT failed(u"the download address of \""_s + name + u"\" is not a valid link."_s);
        return;
    }
    const Paths paths = pathsFor(m_services.locations(), name);
    const Reporter &reporter = m_services.reporter();
    if (const Error error = ensureFolder(paths.jobFolder, m_services.log()))
        reporter.showAlert(u"Alert"_s, u"Failed to create Product folder for "_s + name + u" : "_s + *error, u"OK"_s);
    if (const Error error = ensureFolder(paths.templatesFolder, m_services.log()))
        reporter.showAlert(u"Alert"_s, u"Failed to create Temporary folder for "_s + name + u" : "_s + *error, u"OK"_s);

    auto growing = std::make_shared<GrowingDownload>();
    m_download = new PackageDownload(m_services.network(), m_services.store(), *link, paths.archive, this);
    m_download->setAnnouncedSize(m_job.downloadExtraInfo.value(u"dlSize").toInteger());
    m_download->setGrowingDownload(growing);
    m_download->setResumable();
    connect(m_download, &PackageDownload::reconnecting, this, &JobInstaller::reconnecting);
    connect(m_download, &PackageDownload::progressed, this, [this](qint64 received, qint64 total) {
        Q_EMIT packageProgressed(received, total);
        Q_EMIT stepChanged(u" - "_s + formatByteCount(received) + u" / "_s + formatByteCount(total));
        if (total > 0) {
            m_downloadedFraction = double(received) / double(total);
            m_archiveSize = total;
            reportTransfer();
        }
    });
    connect(m_download, &PackageDownload::finished, this, [this](const PackageDownload::Result &result) {
        for (const QString &line : result.logLines(m_job.product_name))
            m_services.reporter().appendLog(line);
    });
    // The worker unpacks what arrives and reports how the download ended, a failure included.
    m_download->start();
    unpackAndInstall(growing);
}

void TemplateInstaller::unpackAndInstall(const std::shared_ptr<const GrowingDownload> &download) {
    const Paths paths = pathsFor(m_services.locations(), m_job.product_name);
    const Locations &locations = m_services.locations();
    const Reporter &reporter = m_services.reporter();
    const QString name = m_job.product_name;
    const Reports reports(this);
    runWorkerStep(
        [paths, name, download, &locations, repairItems = m_job.repairItems, &reporter, reports,
         placement = m_placement, stop = m_stop] {
            return installPackage(paths, name, *download, locations, repairItems, reporter, reports, *placement,
                                  stop->get_token());
        },
        [this](const Outcome &outcome) {
            if (outcome.cancelled)
                return;
            if (outcome.error) {
                Q_EMIT failed(*outcome.error);
                return;
            }
            m_unpackedFiles = outcome.unpackedFiles;
            reportTemplateProgress(1.0);
        });
}

void TemplateInstaller::takeUnpackedBytes(qint64 written, qint64 total, qint64 read) {
    // A zip that is still arriving does not say how much it unpacks to: how far into the archive unpacking has read
    // tells instead.
    const double fraction = total > 0           ? double(written) / double(total)
                            : m_archiveSize > 0 ? double(read) / double(m_archiveSize)
                                                : 0.0;
    m_unpackedFraction = std::min(fraction, 1.0);
    reportTransfer();
}

void TemplateInstaller::reportTransfer() {
    // Unpacking never runs ahead of the download; a resumed one re-reads what was kept, quicker than it came.
    const double unpacked = std::min(m_unpackedFraction, m_downloadedFraction);
    reportTemplateProgress(transferShare * (m_downloadedFraction + unpacked));
}

void TemplateInstaller::reportTemplateProgress(double value) {
    if (value < m_templateProgress)
        return;
    m_templateProgress = value;
    Q_EMIT progressed(templateProgress, value);
}

void TemplateInstaller::cancel() {
    m_stop->request_stop();
    if (auto *download = m_download.data())
        download->cancel();
    stopWhenIdle();
}

std::function<void()> TemplateInstaller::takeBackWork() {
    if (m_placement->isEmpty())
        return {};
    return [placement = m_placement] {
        placement->takeBack();
    };
}

void TemplateInstaller::commit() {
    StagedPlacement::keepInBackground(m_placement);
}

QStringList TemplateInstaller::placedItems() const {
    return m_placement->targets();
}

UnpackedFiles TemplateInstaller::unpackedFiles() const {
    return m_unpackedFiles;
}

bool TemplateInstaller::pauseDownload() {
    PackageDownload *download = m_download.data();
    return download && download->pause();
}

bool TemplateInstaller::resumeDownload() {
    PackageDownload *download = m_download.data();
    return download && download->resume();
}

} // namespace klv
