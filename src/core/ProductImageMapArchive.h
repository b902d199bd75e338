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

// A map of a hundred thousand pictures stays well below this; a larger file is not read at all.
constexpr qint64 maxArchiveBytes = qint64(16) << 20;

QByteArray encode(const ProductImageMap &map);
// Nothing when the data is not a keyed archive of such a dictionary, or when it is too large or nests too deep to
// be parsed safely.
std::optional<ProductImageMap> decode(const QByteArray &data);

} // namespace ProductImageMapArchive

} // namespace klv
