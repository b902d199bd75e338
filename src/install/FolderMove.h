#pragma once

#include "core/Error.h"

#include <QString>

#include <optional>

namespace klv {

// Moves one file or folder, also across file systems (then by copying and removing). The error text on failure.
Error moveItem(const QString &source, const QString &target);
// Removes a file, a link (never what it points to) or a folder with its content.
void removeItem(const QString &path);

} // namespace klv
