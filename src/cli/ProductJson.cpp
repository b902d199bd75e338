#include "cli/ProductJson.h"

#include "library/LibraryRow.h"

#include <QJsonArray>

namespace klv::cli {

using namespace Qt::StringLiterals;

QJsonObject libraryProductJson(const OutlineViewItem &record, const QList<OutlineViewItem> &library) {
    const LibraryRow row = describeLibraryRow(record, library);
    QStringList kinds;
    for (const QString &kind : row.kindText.split(u',', Qt::SkipEmptyParts)) {
        if (!kind.trimmed().isEmpty())
            kinds.append(kind.trimmed());
    }
    return {{u"number"_s, record.product_id},
            {u"name"_s, row.title},
            {u"fullName"_s, record.product_name},
            {u"kinds"_s, QJsonArray::fromStringList(kinds)},
            {u"sizeBytes"_s, record.product_fileSize},
            {u"installed"_s, record.isInstalled},
            {u"updateAvailable"_s, record.isNeedUpdate},
            {u"group"_s, record.isGroup()},
            {u"application"_s, record.mainApplicationType},
            {u"appleSiliconNative"_s, record.armCompatiable}};
}

QJsonObject saleProductJson(const OnSaleProductInfo &product) {
    return {{u"number"_s, product.product_id},
            {u"name"_s, product.product_name},
            {u"shortDescription"_s, product.product_shortDesc},
            {u"description"_s, product.product_longDesc},
            {u"price"_s, product.product_price},
            {u"saleAmount"_s, product.sale_ammount},
            {u"imageAddress"_s, product.product_image},
            {u"pageAddress"_s, product.product_link},
            {u"videoNumber"_s, product.product_vimeoID},
            {u"saleVideoNumber"_s, product.sale_vimeoID}};
}

} // namespace klv::cli
