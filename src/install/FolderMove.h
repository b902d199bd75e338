#pragma once

#include <QString>

#include <optional>

namespace klv {

// Moves one file or folder, also across file systems (then by copying and removing). The error text on failure.
std::optional<QString> moveItem(const QString &source, const QString &target);

} // namespace klv
