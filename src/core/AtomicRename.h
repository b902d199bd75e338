#pragma once

#include "core/Error.h"

#include <QString>

#include <optional>

namespace klv {

// Lets two items of one file system trade places in one atomic step (renameat2 with RENAME_EXCHANGE), so each
// path names a complete item at every moment. Where the file system cannot exchange, the second goes to `aside`,
// the first takes its place and the second then takes the first's: three renames, the window as short as it can
// be. The error text on failure.
Error exchangeItems(const QString &first, const QString &second, const QString &aside);

// Renames an item to a path where nothing is, never replacing what another process put there meanwhile.
Error renameToFreePath(const QString &from, const QString &to);

} // namespace klv
