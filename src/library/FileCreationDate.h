#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace klv {

// When a file or folder was created: its birth time where the file system keeps one, else its last
// modification. Nothing when the item cannot be read.
std::optional<QDateTime> fileCreationDate(const QString &path);

using CreationDateReader = std::function<std::optional<QDateTime>(const QString &path)>;

} // namespace klv
