#include "library/LibraryFilter.h"

#include "library/GroupMembers.h"

#include <QMultiHash>

#include <algorithm>
#include <numeric>

namespace klv {

namespace {

bool keptByState(productFilterState filter, const OutlineViewItem &record) {
    switch (filter) {
    case productFilterState::allProduct:
        return true;
    case productFilterState::installedProduct:
        return record.isInstalled;
    case productFilterState::notInstalledProduct:
        return !record.isInstalled;
    case productFilterState::needUpdateProduct:
        return record.isNeedUpdate;
    }
    return true;
}

// A group counts as installed only once every member is, yet its installed members are installed products, and
// its update is its members' update: for those two filters a group is kept when one of its members is.
bool keptWithMembers(productFilterState filter, const OutlineViewItem &record, const QList<OutlineViewItem> &library) {
    if (keptByState(filter, record))
        return true;
    if (!record.isGroup() ||
        (filter != productFilterState::installedProduct && filter != productFilterState::needUpdateProduct))
        return false;
    const QList<qsizetype> members = groupMemberIndexes(library, record);
    return std::any_of(members.cbegin(), members.cend(),
                       [&](qsizetype at) { return keptByState(filter, library[at]); });
}

// Two consecutive blanks become one, in a single left-to-right pass (three blanks become two).
QString collapseDoubleBlanks(const QString &term) {
    QString result;
    result.reserve(term.size());
    for (qsizetype i = 0; i < term.size(); ++i) {
        result.append(term[i]);
        if (term[i] == u' ' && i + 1 < term.size() && term[i + 1] == u' ')
            ++i;
    }
    return result;
}

// Terms are OR-ed over names and member names, case-insensitively with case folding ("É" finds "é").
// A record is listed once however many terms find it; records equal in every field count as one.
QList<qsizetype> searchRows(const QList<OutlineViewItem> &records, const QList<qsizetype> &rows,
                            const QString &searchString) {
    QStringList terms;
    for (const QString &rawTerm : searchString.split(u',')) {
        if (QString term = collapseDoubleBlanks(rawTerm); !term.isEmpty())
            terms.append(std::move(term));
    }
    const auto found = [&terms](const OutlineViewItem &record) {
        for (const QString &term : std::as_const(terms)) {
            if (record.product_name.contains(term, Qt::CaseInsensitive) ||
                std::any_of(record.children.cbegin(), record.children.cend(),
                            [&term](const QString &child) { return child.contains(term, Qt::CaseInsensitive); }))
                return true;
        }
        return false;
    };

    QList<qsizetype> matches;
    QMultiHash<qint64, qsizetype> listedById;
    for (const qsizetype position : rows) {
        const OutlineViewItem &record = records[position];
        if (!found(record))
            continue;
        const auto same = listedById.equal_range(record.product_id);
        if (std::any_of(same.first, same.second, [&](qsizetype listed) { return records[listed] == record; }))
            continue;
        listedById.insert(record.product_id, position);
        matches.append(position);
    }
    return matches;
}

// UTF-16 order is code-point order except where a surrogate meets a unit from U+E000 up: surrogates stand for
// code points above U+FFFF, so they sort after those.
bool precedesInCodePointOrder(const QString &a, const QString &b) {
    const auto differing = std::mismatch(a.cbegin(), a.cend(), b.cbegin(), b.cend());
    if (differing.second == b.cend())
        return false;
    if (differing.first == a.cend())
        return true;
    const auto rank = [](QChar unit) {
        const char16_t value = unit.unicode();
        return value >= 0xE000 ? value - 0x800 : value >= 0xD800 ? value + 0x2000 : value;
    };
    return rank(*differing.first) < rank(*differing.second);
}

// The positions ordered by the names of their records; equal names keep their order.
QList<qsizetype> nameOrder(const QList<OutlineViewItem> &records, const QList<qsizetype> &positions, bool descending) {
    struct Keyed {
        // Shares the name's text unless composing changes it, which for most names it does not.
        QString key;
        qsizetype position;
    };
    QList<Keyed> keys;
    keys.reserve(positions.size());
    for (const qsizetype position : positions)
        keys.append({records[position].product_name.normalized(QString::NormalizationForm_C), position});
    std::stable_sort(keys.begin(), keys.end(), [descending](const Keyed &a, const Keyed &b) {
        return descending ? precedesInCodePointOrder(b.key, a.key) : precedesInCodePointOrder(a.key, b.key);
    });
    QList<qsizetype> ordered(positions.size());
    for (qsizetype i = 0; i < keys.size(); ++i)
        ordered[i] = keys[i].position;
    return ordered;
}

} // namespace

void sortByProductName(QList<OutlineViewItem> &products, bool descending) {
    QList<qsizetype> all(products.size());
    std::iota(all.begin(), all.end(), qsizetype(0));
    QList<qsizetype> source = nameOrder(products, all, descending);
    all.clear();
    // The order applied in place, cycle by cycle: a sorted copy would hold a second list of every record.
    for (qsizetype start = 0; start < source.size(); ++start) {
        if (source[start] == start)
            continue;
        OutlineViewItem first = std::move(products[start]);
        qsizetype at = start;
        while (source[at] != start) {
            products[at] = std::move(products[source[at]]);
            const qsizetype next = source[at];
            source[at] = at;
            at = next;
        }
        products[at] = std::move(first);
        source[at] = at;
    }
}

ShownProducts filterLibrary(const LibraryViewSettings &settings, const QList<OutlineViewItem> &libraryProducts,
                            const QList<OutlineViewItem> &cachedProducts) {
    const bool useCache = libraryProducts.isEmpty() && !cachedProducts.isEmpty();
    const QList<OutlineViewItem> &source = useCache ? cachedProducts : libraryProducts;

    QList<qsizetype> rows;
    rows.reserve(source.size());
    for (qsizetype i = 0; i < source.size(); ++i) {
        const OutlineViewItem &record = source[i];
        if (record.parentID == 0 && (useCache || keptWithMembers(settings.filterMyProductState, record, source)))
            rows.append(i);
    }

    if (!settings.searchString.isEmpty())
        rows = searchRows(source, rows, settings.searchString);

    if (settings.sortProductState != productSortState::notSort)
        rows = nameOrder(source, rows, settings.sortProductState == productSortState::zToASort);
    return ShownProducts(source, std::move(rows));
}

EmptyViewReason whyNothingIsShown(const LibraryViewSettings &settings, const QList<OutlineViewItem> &libraryProducts,
                                  const QList<OutlineViewItem> &cachedProducts) {
    if (libraryProducts.isEmpty() && cachedProducts.isEmpty())
        return EmptyViewReason::noLibrary;
    if (settings.searchString.isEmpty())
        return settings.filterMyProductState == productFilterState::allProduct ? EmptyViewReason::noLibrary
                                                                               : EmptyViewReason::hiddenByFilter;
    LibraryViewSettings unfiltered = settings;
    unfiltered.filterMyProductState = productFilterState::allProduct;
    return filterLibrary(unfiltered, libraryProducts, cachedProducts).isEmpty() ? EmptyViewReason::noMatch
                                                                                : EmptyViewReason::hiddenByFilter;
}

} // namespace klv
