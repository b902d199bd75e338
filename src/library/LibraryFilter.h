#pragma once

#include "library/OutlineViewItem.h"
#include "library/ProductEnums.h"
#include "library/ShownProducts.h"

#include <QList>
#include <QString>

namespace klv {

// What the library view shows: an installed-state filter, a comma-separated search and a sort.
struct LibraryViewSettings {
    productFilterState filterMyProductState = productFilterState::allProduct;
    productSortState sortProductState = productSortState::notSort;
    QString searchString;
};

// The top-level rows for the settings; a group passes the installed and updates filters through its members. The cached
// list stands in, unfiltered by state, while the library is empty.
ShownProducts filterLibrary(const LibraryViewSettings &settings, const QList<OutlineViewItem> &libraryProducts,
                            const QList<OutlineViewItem> &cachedProducts);

// Why the view shows no row: no library yet, a search that nothing in the library matches, or the installed-state
// filter hiding what there is (the search's matches included).
enum class EmptyViewReason { noLibrary, noMatch, hiddenByFilter };
EmptyViewReason whyNothingIsShown(const LibraryViewSettings &settings, const QList<OutlineViewItem> &libraryProducts,
                                  const QList<OutlineViewItem> &cachedProducts);

// Stable sort by product name in code-point order of the composed (NFC) names.
void sortByProductName(QList<OutlineViewItem> &products, bool descending = false);

} // namespace klv
