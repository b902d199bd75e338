#pragma once

#include "install/JobInstaller.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <stop_token>

namespace klv {

class PackageDownload;
class StagedPlacement;

// The FxPlug plug-ins of a "new" job: its "fxplug" text names them, separated by ",". Each one replaces its
// earlier version in the plug-ins folder: the archive is downloaded (all plug-ins at the same time) and unpacked
// beside the plug-ins, the new application is swapped in whole, and it is started once so that the system
// registers the plug-in it holds, then terminated once it is up unless the store lists it among those that keep
// running. The earlier application stays aside until the job ends and returns when the job fails. Progress is the share
// of plug-ins done. A name that cannot be a file name, a failed download or an archive that cannot be unpacked fails
// the job.
class PluginInstaller final : public JobInstaller {
    Q_OBJECT
public:
    PluginInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent = nullptr);
    ~PluginInstaller() override;

    void start() override;
    void cancel() override;
    void commit() override;
    QString partName() const override { return QStringLiteral("plug-ins"); }
    QStringList placedItems() const override;
    UnpackedFiles unpackedFiles() const override { return m_unpackedFiles; }

private:
    std::function<void()> takeBackWork() override;
    void announce(const QString &name);
    void download(const QString &name);
    void unpack(const QString &name);
    void launchOnce(const QString &name);
    void finishPlugin(const QString &name);
    void fail(const QString &message);

    Services &m_services;
    const QStringList &m_notAutoKillList;
    QString m_jobName;
    QString m_pluginText;
    // How often each name is listed: a name listed twice is installed once and counts twice.
    QHash<QString, int> m_listings;
    qsizetype m_pluginCount = 0;
    double m_finished = 0.0;
    QList<QPointer<PackageDownload>> m_downloads;
    // One per unpacked plug-in; each used by its worker step, then by the main thread.
    QList<std::shared_ptr<StagedPlacement>> m_placements;
    std::shared_ptr<std::stop_source> m_stop = std::make_shared<std::stop_source>();
    bool m_stopped = false;
    UnpackedFiles m_unpackedFiles;
};

} // namespace klv
