#pragma once

#include "install/PackageJobInstaller.h"

namespace klv {

// A "dvr" job: a zip archive unpacked into DaVinci Resolve's Fusion templates folder, after which the bundle
// "KLV - <job name>.drfx" is dated with the installation time. The archive stays in the download folder.
class ResolveInstaller final : public PackageJobInstaller {
    Q_OBJECT
public:
    ResolveInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent);

private:
    QString downloadPath() const override;
    void install(const PackageDownload::Result &download) override;
};

} // namespace klv
