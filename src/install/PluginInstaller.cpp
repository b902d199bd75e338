#include "install/PluginInstaller.h"

#include "core/Platform.h"
#include "core/SafeName.h"
#include "install/ArchiveExtractor.h"
#include "install/FirstLaunch.h"
#include "install/MergeKeepingExisting.h"
#include "install/PackageDownload.h"
#include "install/StagedPlacement.h"
#include "install/WorkerTask.h"
#include "library/InstallationItem.h"
#include "store/Services.h"

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QUrl>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// Bytes a file name may take on the file systems we install to.
constexpr qsizetype longestFileName = 255;

Error nameProblem(const QString &name) {
    if (Error unsafe = unsafePathComponentReason(name))
        return unsafe;
    if (QFile::encodeName(name + u".app").size() > longestFileName)
        return u"The name “"_s + name + u"” cannot be used as a file name: it is too long."_s;
    return std::nullopt;
}

struct Unpacked {
    std::optional<QString> error;
    bool cancelled = false;
    UnpackedFiles files = {};
};

// Unpacks into a staging folder beside the installed plug-ins, then swaps the new application in whole; other
// items of the archive join the plug-ins folder without replacing what it holds. The earlier application stays
// in placement until the job ends.
Unpacked unpackArchive(const QString &archive, const QString &pluginsFolder, const QString &application,
                       StagedPlacement &placement, std::stop_token stop) {
    const QTemporaryDir staging(pluginsFolder + StagedPlacement::stagingPrefix + u"XXXXXX"_s);
    if (!staging.isValid()) {
        QFile::remove(archive);
        return {u"no folder to unpack into: "_s + staging.errorString()};
    }
    const ArchiveExtractor::Result extracted = ArchiveExtractor().extract(archive, staging.path(), stop);
    QFile::remove(archive);
    if (extracted.cancelled)
        return {std::nullopt, true};
    if (extracted.error)
        return {extracted.error};
    const QFileInfo unpacked(staging.filePath(application));
    if (unpacked.exists() || unpacked.isSymLink()) {
        // Zip archives often drop the executable bit; without it the application could not be started.
        const QFileInfo launcher(staging.filePath(application + u"/AppRun"));
        if (launcher.isFile() && !launcher.isSymLink())
            QFile::setPermissions(launcher.filePath(), launcher.permissions() | QFile::ExeOwner | QFile::ExeUser);
        if (Error error = placement.stage(unpacked.filePath(), pluginsFolder + application))
            return {error};
        if (Error error = placement.swapIn())
            return {error};
    }
    return {mergeKeepingExisting(staging.path(), pluginsFolder), false, extracted.unpackedFiles};
}

} // namespace

PluginInstaller::PluginInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent)
    : JobInstaller(parent)
    , m_services(environment.services)
    , m_notAutoKillList(environment.notAutoKillList)
    , m_jobName(job.product_name)
    , m_pluginText(job.downloadExtraInfo.value(u"fxplug").toString()) {}

PluginInstaller::~PluginInstaller() {
    m_stop->request_stop();
}

void PluginInstaller::start() {
    m_services.reporter().appendLog(u"install Plugin for "_s + m_jobName);
    if (m_pluginText.isEmpty()) {
        Q_EMIT progressed(pluginsProgress, 1.0);
        return;
    }
    const QStringList names = m_pluginText.split(u',');
    // Every name is checked before anything is removed, so a bad list changes nothing.
    for (const QString &name : names) {
        if (Error problem = nameProblem(name)) {
            fail(*problem);
            return;
        }
    }
    m_pluginCount = names.size();
    QStringList distinct;
    for (const QString &name : names) {
        if (m_listings[name]++ == 0)
            distinct.append(name);
    }
    const QString pluginsFolder = m_services.locations().pluginsFolderURL;
    QDir().mkpath(pluginsFolder);
    StagedPlacement::removeLeftovers(pluginsFolder);
    for (const QString &name : std::as_const(distinct))
        announce(name);
}

void PluginInstaller::announce(const QString &name) {
    const QFileInfo installed(m_services.locations().pluginsFolderURL + name + u".app");
    if (installed.exists() || installed.isSymLink())
        std::fputs("Plugin exist! Remove the current plugin version at this path. Then install the latest plugin "
                   "version\n",
                   stderr);
    else
        m_services.reporter().appendLog(u"Plugin does not exist! Install plugin to this path."_s);
    download(name);
}

void PluginInstaller::download(const QString &name) {
    const QString encodedName = QString::fromLatin1(QUrl::toPercentEncoding(name));
    const QUrl address(m_services.configuration().pluginSiteUrl + encodedName + u".zip");
    auto *download = new PackageDownload(m_services.network(), m_services.store(), address,
                                         m_services.locations().downloads().packageFile(name), this);
    m_downloads.append(download);
    connect(download, &PackageDownload::finished, this, [this, name, download](const PackageDownload::Result &result) {
        download->deleteLater();
        if (result.cancelled || m_stopped)
            return;
        if (!result.succeeded())
            fail(u"The plug-in “"_s + name + u"” could not be downloaded: "_s + result.error);
        else
            unpack(name);
    });
    download->start();
}

void PluginInstaller::unpack(const QString &name) {
    const Locations &locations = m_services.locations();
    const QString archive = locations.downloads().packageFile(name);
    auto placement =
        std::make_shared<StagedPlacement>(locations.downloads().journalFile(m_jobName, u"plugin-"_s + name));
    m_placements.append(placement);
    runWorkerStep(
        [archive, pluginsFolder = locations.pluginsFolderURL, application = QString(name + u".app"), placement,
         stop = m_stop] { return unpackArchive(archive, pluginsFolder, application, *placement, stop->get_token()); },
        [this, name](const Unpacked &unpacked) {
            if (unpacked.cancelled || m_stopped)
                return;
            if (unpacked.error) {
                fail(u"The plug-in “"_s + name + u"” could not be unpacked: "_s + *unpacked.error);
                return;
            }
            m_unpackedFiles += unpacked.files;
            launchOnce(name);
        });
}

void PluginInstaller::launchOnce(const QString &name) {
    const QString application = m_services.locations().pluginsFolderURL + name + u".app";
    const bool terminate = !m_notAutoKillList.contains(name);
    // macOS registers a plug-in when LaunchServices opens its host application.
    if constexpr (platform::opensBundlesWithLaunchServices) {
        // "open" returns once the application runs, so "killall" afterwards finds it.
        auto *open = new QProcess(this);
        connect(open, &QProcess::finished, this, [this, open, name, terminate] {
            open->deleteLater();
            if (terminate)
                QProcess::startDetached(u"/usr/bin/killall"_s, {name});
            finishPlugin(name);
        });
        connect(open, &QProcess::errorOccurred, this, [this, open, name](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            open->deleteLater();
            m_services.reporter().appendLog(u"The plug-in "_s + name + u".app could not be opened: "_s +
                                            open->errorString());
            finishPlugin(name);
        });
        open->start(u"/usr/bin/open"_s, {application});
        return;
    }
    auto *launch = new FirstLaunch(application + u"/AppRun", application, terminate, this);
    connect(launch, &FirstLaunch::finished, this, [this, launch, name](const std::optional<QString> &error) {
        launch->deleteLater();
        if (error)
            m_services.reporter().appendLog(u"The plug-in "_s + name + u".app could not be started: "_s + *error);
        finishPlugin(name);
    });
    launch->start();
}

void PluginInstaller::finishPlugin(const QString &name) {
    if (m_stopped)
        return;
    m_finished += m_listings.value(name);
    m_services.reporter().appendLog(u"Done install "_s + name + u".app"_s);
    Q_EMIT progressed(pluginsProgress, m_finished / double(m_pluginCount));
}

void PluginInstaller::fail(const QString &message) {
    cancel();
    Q_EMIT failed(message);
}

void PluginInstaller::cancel() {
    m_stopped = true;
    m_stop->request_stop();
    for (const QPointer<PackageDownload> &pending : std::as_const(m_downloads)) {
        if (PackageDownload *download = pending.data())
            download->cancel();
    }
    stopWhenIdle();
}

std::function<void()> PluginInstaller::takeBackWork() {
    if (m_placements.isEmpty())
        return {};
    return [placements = std::exchange(m_placements, {})] {
        for (const std::shared_ptr<StagedPlacement> &placement : placements)
            placement->takeBack();
    };
}

void PluginInstaller::commit() {
    if (m_placements.isEmpty())
        return;
    for (const std::shared_ptr<StagedPlacement> &placement : std::as_const(m_placements))
        placement->markKept();
    // The earlier versions are removed in the background; nothing waits for it.
    QThreadPool::globalInstance()->start([placements = std::exchange(m_placements, {})] {
        for (const std::shared_ptr<StagedPlacement> &placement : placements)
            placement->keep();
    });
}

QStringList PluginInstaller::placedItems() const {
    QStringList items;
    for (const std::shared_ptr<StagedPlacement> &placement : m_placements)
        items += placement->targets();
    return items;
}

} // namespace klv
