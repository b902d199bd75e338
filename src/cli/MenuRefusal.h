#pragma once

#include "core/Error.h"

#include "library/OutlineViewItem.h"

#include <QList>
#include <QString>

#include <optional>

namespace klv::cli {

// Why a record's option menu does not offer an action, in the customer's words; nothing when it does. The menu
// is the core's, so the client offers exactly what the window offers for the record's state.
Error updateRefusal(const OutlineViewItem &record, const QList<OutlineViewItem> &library);
Error uninstallRefusal(const OutlineViewItem &record, const QList<OutlineViewItem> &library);
Error learnMoreRefusal(const OutlineViewItem &record, const QList<OutlineViewItem> &library);
Error viewInFinderRefusal(const OutlineViewItem &record, const QList<OutlineViewItem> &library);

} // namespace klv::cli
