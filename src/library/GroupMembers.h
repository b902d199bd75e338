#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "library/OutlineViewItem.h"

namespace klv {

// Index of the library record a group's member text names, if any.
std::optional<qsizetype> findGroupMember(const QList<OutlineViewItem> &library, const QString &memberText);

// Indexes of a group's members in `children` order; members without a record are left out.
QList<qsizetype> groupMemberIndexes(const QList<OutlineViewItem> &library, const OutlineViewItem &group);

} // namespace klv
