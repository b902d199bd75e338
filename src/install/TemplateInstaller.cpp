#include "install/TemplateInstaller.h"

#include "core/ByteCountFormat.h"
#include "install/ArchiveExtractor.h"
#include "install/FolderMove.h"
#include "install/PackageDownload.h"
#include "install/TemplatePreparation.h"
#include "install/WorkerTask.h"
#include "library/WholeTextLink.h"
#include "store/Services.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

struct Paths {
    QString jobFolder;
    QString templatesFolder;
    QString archive;
    QString olderArchive;
    QString unpackFolder;
};

Paths pathsFor(const Locations &locations, const QString &name) {
    Paths paths;
    paths.jobFolder = locations.downloadFolderURL + name;
    paths.templatesFolder = paths.jobFolder + u"/Templates";
    paths.archive = paths.templatesFolder + u"/KLV - " + name + u".zip";
    paths.olderArchive = paths.templatesFolder + u"/Vantory - " + name + u".zip";
    paths.unpackFolder = paths.templatesFolder + u"/KLV - " + name;
    return paths;
}

// Reports from the worker, in order, to the installer on the main thread.
class Reports {
public:
    explicit Reports(TemplateInstaller *installer)
        : m_installer(installer) {}
    void step(const QString &suffix) const {
        postToMainThread(m_installer, [installer = m_installer, suffix] { Q_EMIT installer->stepChanged(suffix); });
    }
    void progress(double value) const {
        postToMainThread(m_installer,
                         [installer = m_installer, value] { Q_EMIT installer->progressed(templateProgress, value); });
    }

private:
    QPointer<TemplateInstaller> m_installer;
};

// The unpacked package: type folder name to its location (a later duplicate replaces an earlier one).
QMap<QString, QString> typeFolders(const QString &unpackFolder) {
    QMap<QString, QString> types;
    const QFileInfoList tops =
        QDir(unpackFolder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &top : tops) {
        if (top.fileName() == u".DS_Store" || top.fileName() == u"__MACOSX" || !top.isDir())
            continue;
        for (const QFileInfo &type :
             QDir(top.filePath()).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
            if (type.fileName() != u".DS_Store")
                types.insert(type.fileName(), type.filePath());
        }
    }
    return types;
}

struct Outcome {
    std::optional<QString> error;
    bool cancelled = false;
};

Outcome installPackage(const Paths &paths, const QString &name, const Locations &locations, const Reporter &reporter,
                       const Reports &reports, std::stop_token stop) {
    const ArchiveExtractor extractor;
    const ArchiveExtractor::Result unpacked = extractor.extract(paths.archive, paths.unpackFolder, stop);
    QFile::remove(paths.archive);
    if (unpacked.cancelled)
        return {std::nullopt, true};
    if (unpacked.error)
        return {u"the package could not be unpacked: "_s + *unpacked.error, false};

    const QMap<QString, QString> types = typeFolders(paths.unpackFolder);
    if (types.isEmpty())
        return {u"the package holds no Motion templates."_s, false};
    // Every type must have a destination before anything is moved, so a bad package changes nothing.
    for (auto type = types.cbegin(); type != types.cend(); ++type) {
        if (!locations.motionFolderByCategory.contains(type.key()) || !QFileInfo(type.value()).isDir()) {
            reporter.appendLog(
                u"KLVApp_Error: Failed to get the destination for the template witht the effect type: "_s + type.key() +
                u" at "_s + type.value());
            return {u"the package has a folder \""_s + type.key() + u"\" that is not a Motion template type."_s, false};
        }
    }

    for (auto type = types.cbegin(); type != types.cend(); ++type) {
        const QString destination = locations.motionFolderByCategory.value(type.key());
        const TemplatePreparation::FolderSummary prepared = TemplatePreparation::prepareFolder(
            type.value(),
            [&](qsizetype index, qsizetype count, const QString &path, const TemplatePreparation::FileResult &result) {
                reports.step(QStringLiteral(" - Prepping Templates %1 / %2").arg(index + 1).arg(count));
                reports.progress(0.99 * double(index + 1) / double(count));
                if (result.outcome == TemplatePreparation::Outcome::CanvasPresent)
                    reporter.appendLog(u"<canvas> exist!"_s);
                else if (result.outcome == TemplatePreparation::Outcome::Failed)
                    reporter.appendLog(u"KLVApp_Error: "_s + path + u": "_s + result.error.value_or(QString()));
            },
            stop);
        if (stop.stop_requested())
            return {std::nullopt, true};
        if (!prepared.errors.isEmpty())
            return {u"a template document could not be prepared: "_s + prepared.errors.first(), false};

        const QStringList templates =
            QDir(type.value()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        for (qsizetype k = 0; k < templates.size(); ++k) {
            const QString &entry = templates[k];
            if (entry == u".DS_Store")
                continue;
            const QString source = type.value() + u'/' + entry;
            const QString target = destination + entry;
            if (const std::optional<QString> error = replaceFolderContents(source, target))
                reporter.appendLog(u"KLVApp_Error: "_s + *error);
            reports.step(QStringLiteral(" - Moving Templates %1 / %2").arg(k + 1).arg(templates.size()));
            if (k % 10 == 0)
                reporter.appendLog(QStringLiteral("Moved Template %1 / %2").arg(k).arg(templates.size()));
        }
    }
    reporter.appendLog(u"Done Install Template for : "_s + name);
    if (!QFile::remove(paths.archive))
        QFile::remove(paths.olderArchive);
    QDir(paths.unpackFolder).removeRecursively();
    return {};
}

} // namespace

TemplateInstaller::TemplateInstaller(const InstallEnvironment &environment, const InstallationItem &job,
                                     QObject *parent)
    : JobInstaller(parent)
    , m_services(environment.services)
    , m_job(job) {}

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
    if (const std::optional<QString> error = ensureFolder(paths.jobFolder, m_services.log()))
        reporter.showAlert(u"Alert"_s, u"Failed to create Product folder for "_s + name + u" : "_s + *error, u"OK"_s);
    if (const std::optional<QString> error = ensureFolder(paths.templatesFolder, m_services.log()))
        reporter.showAlert(u"Alert"_s, u"Failed to create Temporary folder for "_s + name + u" : "_s + *error, u"OK"_s);

    m_download = new PackageDownload(m_services.network(), m_services.store(), *link, paths.archive, this);
    m_download->setAnnouncedSize(m_job.downloadExtraInfo.value(u"dlSize").toInteger());
    connect(m_download, &PackageDownload::progressed, this, [this](qint64 received, qint64 total) {
        Q_EMIT stepChanged(u" - "_s + formatByteCount(received) + u" / "_s + formatByteCount(total));
        if (total > 0)
            Q_EMIT progressed(templateProgress, 0.45 * double(received) / double(total));
    });
    connect(m_download, &PackageDownload::finished, this, [this](const PackageDownload::Result &result) {
        if (result.cancelled)
            return;
        if (!result.succeeded()) {
            Q_EMIT failed(result.error);
            return;
        }
        unpackAndInstall();
    });
    m_download->start();
}

void TemplateInstaller::unpackAndInstall() {
    const Paths paths = pathsFor(m_services.locations(), m_job.product_name);
    const Locations &locations = m_services.locations();
    const Reporter &reporter = m_services.reporter();
    const QString name = m_job.product_name;
    const Reports reports(this);
    runOnWorker(
        this,
        [paths, name, &locations, &reporter, reports, stop = m_stop] {
            return installPackage(paths, name, locations, reporter, reports, stop->get_token());
        },
        [this](const Outcome &outcome) {
            if (outcome.cancelled)
                return;
            if (outcome.error)
                Q_EMIT failed(*outcome.error);
            else
                Q_EMIT progressed(templateProgress, 1.0);
        });
}

void TemplateInstaller::cancel() {
    m_stop->request_stop();
    if (auto *download = m_download.data())
        download->cancel();
}

} // namespace klv
