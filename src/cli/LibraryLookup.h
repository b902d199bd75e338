#pragma once

#include "library/OutlineViewItem.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace klv::cli {

// The library record a customer means by a name as `klv list` shows it (without the maker's prefix), the
// full product name, or a product number. Top-level records win over group members of the same name.
std::optional<OutlineViewItem> findProduct(const QList<OutlineViewItem> &library, const QString &nameOrId);

// The records of several names, each once however often (and however: name or number) it was named, in the
// order first named; the names that match nothing are in `unknown`.
struct ProductSelection {
    QList<OutlineViewItem> products;
    QStringList unknown;
};
ProductSelection findProducts(const QList<OutlineViewItem> &library, const QStringList &namesOrIds);

} // namespace klv::cli
