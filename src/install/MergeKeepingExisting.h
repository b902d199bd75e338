#pragma once

#include "core/Error.h"

#include <QString>

#include <optional>

namespace klv {

// Moves every item of source into target the way "unzip -n" places files: whatever target already holds stays
// as it is (folders present on both sides are merged), everything else is moved in. Links in target are never
// followed. The error text of the first failure; the rest is still moved.
Error mergeKeepingExisting(const QString &source, const QString &target);

} // namespace klv
