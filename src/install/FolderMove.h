#pragma once

#include <QString>

#include <optional>

namespace klv {

// Moves one file or folder, also across file systems (then by copying and removing). The error text on failure.
std::optional<QString> moveItem(const QString &source, const QString &target);

// Makes target hold exactly what source holds: an existing target is removed first, then every item of source
// except ".DS_Store" is moved into it. The error text of the first failure; the rest is still moved.
std::optional<QString> replaceFolderContents(const QString &source, const QString &target);

} // namespace klv
