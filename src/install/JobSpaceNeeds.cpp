#include "install/JobSpaceNeeds.h"

#include "core/Locations.h"
#include "install/DiskSpaceCheck.h"
#include "library/InstallationItem.h"

namespace klv {

using namespace Qt::StringLiterals;

void addSpaceNeeds(DiskSpaceCheck &check, const Locations &locations, const InstallationItem &job) {
    const qint64 packageBytes = job.downloadExtraInfo.value("dlSize"_L1).toInteger();
    check.add(locations.downloadFolderURL, packageBytes);
    if (job.installProcessType == u"new")
        check.add(locations.motionTemplatesFolderURL, packageBytes);
    else if (job.installProcessType == u"dvr")
        check.add(locations.resolveTemplatesFolderURL, packageBytes);
    else if (job.installProcessType == u"composite")
        check.add(locations.compositeFolderURL, packageBytes);
}

} // namespace klv
