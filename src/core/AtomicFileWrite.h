#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace klv {

// Replaces the file with the data in one step. It counts only when every byte was written and the new file
// committed: a full disk can accept fewer bytes than asked without any error, and then the old file stays.
// The error text on failure.
std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &data);

} // namespace klv
