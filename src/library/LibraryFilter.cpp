#include "library/LibraryFilter.h"

#include <QSet>

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
    QList<OutlineViewItem> sorted;
    sorted.reserve(products.size());
    for (const Keyed &keyed : std::as_const(keys))
        sorted.append(std::move(products[keyed.position]));
    products = std::move(sorted);
}

QList<OutlineViewItem> filterLibrary(const LibraryViewSettings &settings, const QList<OutlineViewItem> &libraryProducts,
                                     const QList<OutlineViewItem> &cachedProducts) {
    const bool useCache = libraryProducts.isEmpty() && !cachedProducts.isEmpty();
    const QList<OutlineViewItem> &source = useCache ? cachedProducts : libraryProducts;

    QList<OutlineViewItem> rows;
    for (const OutlineViewItem &record : source) {
        if ((useCache || keptByState(settings.filterMyProductState, record)) && record.parentID == 0)
            rows.append(record);
    }

    if (!settings.searchString.isEmpty()) {
        // Terms are OR-ed; a record found by several terms is listed once. Case folding makes "É" find "é".
        QSet<OutlineViewItem> matches;
        QList<QString> foldedNames;
        foldedNames.reserve(rows.size());
        for (const OutlineViewItem &record : std::as_const(rows))
            foldedNames.append(record.product_name.toCaseFolded());
        for (const QString &rawTerm : settings.searchString.split(u',')) {
            const QString term = collapseDoubleBlanks(rawTerm).toCaseFolded();
            if (term.isEmpty())
                continue;
            for (qsizetype i = 0; i < rows.size(); ++i) {
                const OutlineViewItem &record = rows[i];
                const bool found =
                    foldedNames[i].contains(term) ||
                    std::any_of(record.children.cbegin(), record.children.cend(),
                                [&term](const QString &child) { return child.toCaseFolded().contains(term); });
                if (found)
                    matches.insert(record);
            }
        }
        rows = QList<OutlineViewItem>(matches.cbegin(), matches.cend());
    }

    if (settings.sortProductState != productSortState::notSort)
        sortByProductName(rows, settings.sortProductState == productSortState::zToASort);
    return rows;
}

} // namespace klv
