#pragma once

#include "core/Error.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

namespace klv {

// Replaces the file with the data in one step. It counts only when every byte was written and the new file
// committed: a full disk can accept fewer bytes than asked without any error, and then the old file stays.
// The error text on failure.
Error writeFileAtomically(const QString &path, const QByteArray &data);
// The same with the content written piece by piece by `write`, which says whether the device took every piece;
// for content too large to build in memory first.
Error writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &write);

} // namespace klv
