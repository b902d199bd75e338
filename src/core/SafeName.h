#pragma once

#include "core/Error.h"

#include <QString>

#include <optional>

namespace klv {

// Names from the store become file and folder names. Only a single plain path component may: nothing empty,
// no "." or "..", no "/" and no NUL, so a name can never point outside the folder it is placed in.
bool isSafePathComponent(const QString &name);

// Why a name is not a safe path component, as a sentence for an alert; nothing when it is safe.
Error unsafePathComponentReason(const QString &name);

} // namespace klv
