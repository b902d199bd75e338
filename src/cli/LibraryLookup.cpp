#include "LibraryLookup.h"

#include "library/LibraryRow.h"

namespace klv::cli {

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
