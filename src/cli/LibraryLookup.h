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

// Up to three names as `klv list` shows them that come closest to a name not found: those equal but for case
// first, then those containing it (or contained in it), then those a few typing mistakes away.
QStringList closestProductNames(const QList<OutlineViewItem> &library, const QString &wanted);

// "No product … in your library", with the closest names when there are any.
QString unknownProductMessage(const QList<OutlineViewItem> &library, const QString &wanted);

} // namespace klv::cli
