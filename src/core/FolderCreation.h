#pragma once

#include "core/Error.h"

#include <QString>

#include <optional>

namespace klv {

// Makes sure a folder exists, creating missing parents too. The system's reason on failure, nothing on success.
Error createFolderWithParents(const QString &path);

} // namespace klv
