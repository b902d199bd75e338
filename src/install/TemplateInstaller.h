#pragma once

#include "install/JobInstaller.h"
#include "library/InstallationItem.h"

#include <QPointer>

#include <memory>
#include <stop_token>

namespace klv {

class PackageDownload;

// The Motion templates of a "new" job: downloads the archive (the first 45 % of its progress), unpacks it,
// prepares every template document and moves each template folder into the Motion Templates folder of its
// type. A package that cannot be downloaded or unpacked, or whose type folders are not Motion template types,
// fails the job before anything is moved.
class TemplateInstaller final : public JobInstaller {
    Q_OBJECT
public:
    TemplateInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent = nullptr);
    ~TemplateInstaller() override;

    void start() override;
    void cancel() override;

private:
    void unpackAndInstall();

    Services &m_services;
    InstallationItem m_job;
    QPointer<PackageDownload> m_download;
    std::shared_ptr<std::stop_source> m_stop = std::make_shared<std::stop_source>();
};

} // namespace klv
