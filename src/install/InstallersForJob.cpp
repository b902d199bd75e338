#include "install/InstallersForJob.h"

#include "install/CompositeInstaller.h"
#include "install/FontInstaller.h"
#include "install/LutInstaller.h"
#include "install/PluginInstaller.h"
#include "install/ResolveInstaller.h"
#include "install/TemplateInstaller.h"
#include "library/InstallationItem.h"

namespace klv {

QList<JobInstaller *> createJobInstallers(const InstallEnvironment &environment, const InstallationItem &job,
                                          QObject *parent) {
    if (job.installProcessType == u"new")
        return {new TemplateInstaller(environment, job, parent), new FontInstaller(environment, job, parent),
                new PluginInstaller(environment, job, parent), new LutInstaller(environment, job, parent)};
    if (job.installProcessType == u"dvr")
        return {new ResolveInstaller(environment, job, parent)};
    if (job.installProcessType == u"composite")
        return {new CompositeInstaller(environment, job, parent)};
    return {};
}

} // namespace klv
