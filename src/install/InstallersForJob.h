#pragma once

#include "install/JobInstaller.h"

#include <QList>

namespace klv {

// The installers that make up one job: templates, fonts, plug-ins and custom LUTs for "new", the package
// installer for "dvr" and "composite". Not started yet.
QList<JobInstaller *> createJobInstallers(const InstallEnvironment &environment, const InstallationItem &job,
                                          QObject *parent);

} // namespace klv
