#pragma once

#include "library/OnSaleProductInfo.h"
#include "library/OutlineViewItem.h"

#include <QJsonObject>
#include <QList>

namespace klv::cli {

// The products of klv's JSON output, under field names of the client's own (see the README), whatever the store
// calls them.
QJsonObject libraryProductJson(const OutlineViewItem &record, const QList<OutlineViewItem> &library);
QJsonObject saleProductJson(const OnSaleProductInfo &product);

} // namespace klv::cli
