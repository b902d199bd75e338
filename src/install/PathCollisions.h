#pragma once

#include "core/Error.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace klv {

// The paths an unpacking writes, entry by entry, to find two entries written to one path: the later would replace
// the earlier, or a file would stand where a folder must. A folder may be written more than once.
class PathCollisions final {
public:
    // The path the entry collides at, if it does; it is noted either way.
    Error add(const QStringList &components, bool folder);

private:
    QHash<QString, bool> m_written; // path → is a folder
};

} // namespace klv
