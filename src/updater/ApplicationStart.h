#pragma once

#include "core/Error.h"

#include <QString>

#include <chrono>
#include <optional>

namespace klv {

// Opens an application folder (an AppDir: runs its AppRun) in a session of its own, from the home folder, so
// that it outlives the updater. With a watch time, waits that long for it to fail: ending with another status
// than 0, or by a signal, within that time is a failed start. Returns the error text, nothing when it runs (or
// ended cleanly by itself).
Error startApplication(const QString &applicationPath,
                       std::chrono::milliseconds watch = std::chrono::milliseconds::zero());
// The same for a program file.
Error startProgram(const QString &programPath, std::chrono::milliseconds watch = std::chrono::milliseconds::zero());

} // namespace klv
