#pragma once

#include "install/JobInstaller.h"
#include "install/PackageDownload.h"

#include <QPointer>
#include <QStringList>

#include <stop_token>

namespace klv {

// The custom looks of a "new" job: each LUT archive of its "appleCustomLut" list is downloaded into the LUT
// temporary folder (beside the download folder, "<download folder>.<job name>") and unpacked into the folder
// Final Cut Pro and Motion read custom LUTs from. It takes no part in the job's progress and never fails the
// job: problems are logged and the next archive is tried. The archives go one after another, each under the
// same name, so the last one stays behind.
class LutInstaller final : public JobInstaller {
    Q_OBJECT
public:
    LutInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent);
    ~LutInstaller() override;

    void start() override;
    void cancel() override;
    bool isSideWork() const override { return true; }
    QString partName() const override { return QStringLiteral("looks"); }
    // The look folders placed so far.
    QStringList placedItems() const override { return m_placed; }
    UnpackedFiles unpackedFiles() const override { return m_unpackedFiles; }

    // Where the job's look archives are downloaded: "<download folder>.<job>/", beside the download folder.

private:
    void installNext();
    void downloadFinished(const PackageDownload::Result &result);

    Services &m_services;
    QString m_jobName;
    QStringList m_addresses;
    qsizetype m_next = 0;
    QPointer<PackageDownload> m_download;
    std::stop_source m_stop;
    bool m_cancelled = false;
    QStringList m_placed;
    UnpackedFiles m_unpackedFiles;
};

} // namespace klv
