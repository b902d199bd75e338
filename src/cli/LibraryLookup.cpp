#include "cli/LibraryLookup.h"
#include "cli/NameSuggestion.h"

#include "library/LibraryRow.h"

#include <algorithm>

namespace klv::cli {

namespace {

constexpr qsizetype suggestionCount = 3;

} // namespace

std::optional<OutlineViewItem> findProduct(const QList<OutlineViewItem> &library, const QString &nameOrId) {
    bool isNumber = false;
    const qint64 id = nameOrId.toLongLong(&isNumber);
    const auto matches = [&](const OutlineViewItem &record) {
        if (isNumber && id != 0 && record.product_id == id)
            return true;
        return record.product_name == nameOrId || describeLibraryRow(record, {}).title == nameOrId;
    };
    std::optional<OutlineViewItem> member;
    for (const OutlineViewItem &record : library) {
        if (!matches(record))
            continue;
        if (record.parentID == 0)
            return record;
        if (!member)
            member = record;
    }
    return member;
}

ProductSelection findProducts(const QList<OutlineViewItem> &library, const QStringList &namesOrIds) {
    ProductSelection selection;
    for (const QString &wanted : namesOrIds) {
        const std::optional<OutlineViewItem> product = findProduct(library, wanted);
        if (!product)
            selection.unknown.append(wanted);
        else if (!selection.products.contains(*product))
            selection.products.append(*product);
    }
    return selection;
}

} // namespace klv::cli

namespace klv::cli {

QStringList closestProductNames(const QList<OutlineViewItem> &library, const QString &wanted) {
    const QString key = wanted.trimmed().toCaseFolded();
    if (key.isEmpty())
        return {};
    // Rank 0: equal but for case; 1: one contains the other; 2 and up: 2 + the edit distance.
    const qsizetype farthest = 2 + std::max<qsizetype>(2, key.size() / 3);
    QList<std::pair<qsizetype, QString>> ranked;
    QStringList seen;
    for (const OutlineViewItem &record : library) {
        const QString title = describeLibraryRow(record, {}).title;
        if (seen.contains(title))
            continue;
        seen.append(title);
        const QString folded = title.toCaseFolded();
        const qsizetype rank = folded == key                                  ? 0
                               : folded.contains(key) || key.contains(folded) ? 1
                                                                              : 2 + editDistance(folded, key);
        if (rank <= farthest)
            ranked.append({rank, title});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList names;
    for (qsizetype i = 0; i < std::min(suggestionCount, ranked.size()); ++i)
        names.append(ranked[i].second);
    return names;
}

QString unknownProductMessage(const QList<OutlineViewItem> &library, const QString &wanted) {
    QString message = u"No product \"" + wanted + u"\" in your library (see klv list).";
    if (const QStringList names = closestProductNames(library, wanted); !names.isEmpty())
        message += u" Did you mean \"" + names.join(QStringLiteral("\", \"")) + u"\"?";
    return message;
}

} // namespace klv::cli
