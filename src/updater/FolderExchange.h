#pragma once

#include <QString>

#include <optional>

namespace klv {

// Lets two folders of one file system trade places in one atomic step (renameat2 with RENAME_EXCHANGE), so that
// each path names a complete folder at every moment. Where the file system cannot exchange, the first goes to
// fallbackAside and the second takes its place: two renames. Returns the error text on failure.
std::optional<QString> exchangeFolders(const QString &first, const QString &second, const QString &fallbackAside);

// Moves a folder to a path where nothing is, without ever replacing what another process put there meanwhile.
std::optional<QString> moveFolderToFreePath(const QString &from, const QString &to);

} // namespace klv
