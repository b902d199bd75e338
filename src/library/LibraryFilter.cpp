#include "library/LibraryFilter.h"

#include "library/GroupMembers.h"

#include <QMultiHash>

#include <algorithm>

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
QList<OutlineViewItem> searchRows(const QList<OutlineViewItem> &rows, const QString &searchString) {
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

    QList<OutlineViewItem> matches;
    QMultiHash<qint64, qsizetype> listedById;
    for (const OutlineViewItem &record : rows) {
        if (!found(record))
            continue;
        const auto same = listedById.equal_range(record.product_id);
        if (std::any_of(same.first, same.second, [&](qsizetype listed) { return matches[listed] == record; }))
            continue;
        listedById.insert(record.product_id, matches.size());
        matches.append(record);
    }
    return matches;
}

} // namespace

void sortByProductName(QList<OutlineViewItem> &products, bool descending) {
    struct Keyed {
        QList<uint> key;
        qsizetype position;
    };
    QList<Keyed> keys;
    keys.reserve(products.size());
    for (qsizetype i = 0; i < products.size(); ++i)
        keys.append({products[i].product_name.normalized(QString::NormalizationForm_C).toUcs4(), i});
    std::stable_sort(keys.begin(), keys.end(), [descending](const Keyed &a, const Keyed &b) {
        return descending ? b.key < a.key : a.key < b.key;
    });
    // The order applied in place, cycle by cycle: a sorted copy would hold a second list of every record.
    QList<qsizetype> source(products.size());
    for (qsizetype i = 0; i < keys.size(); ++i)
        source[i] = keys[i].position;
    keys.clear();
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

QList<OutlineViewItem> filterLibrary(const LibraryViewSettings &settings, const QList<OutlineViewItem> &libraryProducts,
                                     const QList<OutlineViewItem> &cachedProducts) {
    const bool useCache = libraryProducts.isEmpty() && !cachedProducts.isEmpty();
    const QList<OutlineViewItem> &source = useCache ? cachedProducts : libraryProducts;

    QList<OutlineViewItem> rows;
    rows.reserve(source.size());
    for (const OutlineViewItem &record : source) {
        if (record.parentID == 0 && (useCache || keptWithMembers(settings.filterMyProductState, record, source)))
            rows.append(record);
    }

    if (!settings.searchString.isEmpty())
        rows = searchRows(rows, settings.searchString);

    if (settings.sortProductState != productSortState::notSort)
        sortByProductName(rows, settings.sortProductState == productSortState::zToASort);
    return rows;
}

} // namespace klv
