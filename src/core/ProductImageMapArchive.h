#pragma once

#include <QByteArray>
#include <QMap>
#include <QUrl>

#include <optional>

namespace klv {

using ProductImageMap = QMap<qint64, QUrl>;

// The picture map's file form: a keyed archive (binary property list) of a dictionary from product numbers
// to file URLs, as the platform's keyed archiver writes it.
namespace ProductImageMapArchive {

QByteArray encode(const ProductImageMap &map);
// Nothing when the data is not a keyed archive of such a dictionary.
std::optional<ProductImageMap> decode(const QByteArray &data);

} // namespace ProductImageMapArchive

} // namespace klv
