#pragma once

#include "install/JobInstaller.h"
#include "install/StagedPlacement.h"
#include "library/InstallationItem.h"

#include <QPointer>

#include <memory>
#include <stop_token>

namespace klv {

class GrowingDownload;
class PackageDownload;

// The Motion templates of a "new" job: downloads the archive and unpacks it as it arrives (45 % of its progress
// each, side by side), prepares every template document and places each template folder into the Motion Templates
// folder of its type. Entries beside the type folders that are no Motion type are logged and left out. Every template
// folder is completed beside its destination before the first one is swapped in, so a package that cannot be
// downloaded, unpacked, prepared or placed fails the job and leaves every destination as it was; the earlier
// versions stay until the job ends, and return when it fails.
class TemplateInstaller final : public JobInstaller {
    Q_OBJECT
public:
    TemplateInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent = nullptr);
    ~TemplateInstaller() override;

    void start() override;
    void cancel() override;
    void commit() override;
    QString partName() const override { return QStringLiteral("templates"); }
    QStringList placedItems() const override;
    UnpackedFiles unpackedFiles() const override;
    bool pauseDownload() override;
    bool resumeDownload() override;

    // From the worker: the bytes unpacked, of total (-1 while the package does not say), and how far into the
    // package unpacking has read.
    void takeUnpackedBytes(qint64 written, qint64 total, qint64 read);
    // Reports the template progress; it never goes back (a second unpacking starts its count again).
    void reportTemplateProgress(double value);

private:
    std::function<void()> takeBackWork() override;
    void unpackAndInstall(const std::shared_ptr<const GrowingDownload> &download);
    void reportTransfer();

    Services &m_services;
    InstallationItem m_job;
    QPointer<PackageDownload> m_download;
    std::shared_ptr<std::stop_source> m_stop = std::make_shared<std::stop_source>();
    // Used by one worker step at a time, and by the main thread only once no step runs.
    std::shared_ptr<StagedPlacement> m_placement;
    UnpackedFiles m_unpackedFiles;
    double m_downloadedFraction = 0.0;
    double m_unpackedFraction = 0.0;
    qint64 m_archiveSize = 0;
    double m_templateProgress = 0.0;
};

} // namespace klv
