#pragma once

#include "install/PackageJobInstaller.h"

namespace klv {

// A "composite" job: one package into the composite folder. A zip archive is unpacked there; a movie is moved
// there as "<job name>.mov". Any other kind of file fails the job.
class CompositeInstaller final : public PackageJobInstaller {
    Q_OBJECT
public:
    CompositeInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent);

private:
    QString downloadPath() const override;
    void install(const PackageDownload::Result &download) override;
};

} // namespace klv
