#pragma once

#include "core/Error.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace klv {

// Checks a binary property list's shape before any parser sees it: its size, that every reference and offset
// stays inside the data, how deep its containers nest and how many objects a full walk visits (shared and
// cyclic references included). A parser that recurses once per level can then never run out of stack or work.
namespace BinaryPlistBounds {

struct Limits {
    qint64 maxBytes;
    int maxDepth;
    qint64 maxVisits;
};

// The reason the data is refused; nothing when it is within the limits.
Error check(const QByteArray &data, const Limits &limits);

} // namespace BinaryPlistBounds

} // namespace klv
