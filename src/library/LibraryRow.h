#pragma once

#include "library/OutlineViewItem.h"

#include <QList>
#include <QString>

namespace klv {

// What one row of the library shows, for any front end: the name without the maker's prefix, the kinds,
// and the sub-line (file size, or how many members of a group are installed).
struct LibraryRow {
    QString title;
    QString subLine;
    // The kind words the row lights, e.g. "Effects, Titles".
    QString kindText;
    int kindMask = 0;
};

enum KindBit : int {
    effectsKind = 2,
    generatorsKind = 4,
    titlesKind = 8,
    transitionsKind = 16,
    compositeKind = 32,
};

int kindMask(const QString &location);
LibraryRow describeLibraryRow(const OutlineViewItem &record, const QList<OutlineViewItem> &libraryProducts);
// The same with a group's members already found (groupMemberIndexes), as views that paint rows often keep them.
LibraryRow describeLibraryRow(const OutlineViewItem &record, const QList<OutlineViewItem> &libraryProducts,
                              const QList<qsizetype> &memberIndexes);

} // namespace klv
