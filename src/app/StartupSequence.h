#pragma once

#include <QStringList>

namespace klv {

class AppContext;

enum class UpdaterFetch {
    // The application makes sure the updater is at hand before the customer may need it.
    whenMissing,
    // Short-lived front ends fetch it only when they update.
    onDemand,
};

// What the application does once per process before its window opens: the detail-log flag, the version,
// the stored settings and picture map, the folder tree (an alert per folder that cannot be made), the
// updater when it is missing (in the background), the emptied cache folder and the OS version.
void runStartupSequence(AppContext &context, const QStringList &arguments, UpdaterFetch updater);

// The OS version as the download requests send it, with the line break the version command prints.
QString readOperatingSystemVersion();

} // namespace klv
