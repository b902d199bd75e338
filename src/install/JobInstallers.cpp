#include "install/JobInstallers.h"

#include "install/TemplateInstaller.h"
#include "library/InstallationItem.h"

namespace klv {

QList<JobInstaller *> createJobInstallers(const InstallEnvironment &environment, const InstallationItem &job,
                                          QObject *parent) {
    if (job.installProcessType == u"new")
        return {new TemplateInstaller(environment, job, parent)};
    return {};
}

} // namespace klv
