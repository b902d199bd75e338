#pragma once

#include <QStringList>

namespace klv {

class AppContext;

// What the application does once per process before its window opens: the detail-log flag, the version,
// the stored settings and picture map, the folder tree (an alert per folder that cannot be made), the
// emptied cache folder and the OS version.
void runStartupSequence(AppContext &context, const QStringList &arguments);

// The OS version as the download requests send it, with the line break the version command prints.
QString readOperatingSystemVersion();

} // namespace klv
