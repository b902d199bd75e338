#include "library/ProductCache.h"

#include "core/AtomicFileWrite.h"
#include "core/Diagnostics.h"
#include "core/Locations.h"
#include "library/RepeatedTexts.h"
#include "store/JsonTextScanner.h"

#include <QBuffer>
#include <QFile>

namespace klv {

std::optional<QList<OutlineViewItem>> ProductCache::load(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Mapped rather than read: reading a file of unknown length grows the buffer to twice its size. The cache is
    // replaced by renaming, so the mapped file does not change while it is read.
    if (const qint64 size = file.size(); size > 0) {
        if (uchar *mapped = file.map(0, size)) {
            std::optional<QList<OutlineViewItem>> products =
                decode(QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), size));
            file.unmap(mapped);
            return products;
        }
    }
    return decode(file.readAll());
}

// Element by element in both directions: the cache of a quarter of a million products would take hundreds of
// megabytes as one JSON tree.
std::optional<QList<OutlineViewItem>> ProductCache::decode(const QByteArray &content) {
    const std::optional<QList<QByteArrayView>> elements = json::arrayElementTexts(content);
    if (!elements)
        return std::nullopt;
    QList<OutlineViewItem> products;
    products.reserve(elements->size());
    RepeatedTexts shared;
    for (const QByteArrayView elementText : *elements) {
        const std::optional<QJsonValue> element = json::parseValue(elementText);
        if (!element || !element->isObject())
            return std::nullopt;
        shared.share(products.emplace_back(makeOutlineViewItem(element->toObject())));
    }
    return products;
}

bool ProductCache::encode(const QList<OutlineViewItem> &products, QIODevice &device) {
    // Handed over in pieces of about this size, so the encoded library is never whole in memory.
    constexpr qsizetype pieceBytes = 1 << 16;
    QByteArray piece("[");
    for (qsizetype i = 0; i < products.size(); ++i) {
        if (i > 0)
            piece.append(',');
        appendProductJson(piece, products[i]);
        if (piece.size() >= pieceBytes) {
            if (device.write(piece) != piece.size())
                return false;
            piece.clear();
        }
    }
    piece.append(']');
    return device.write(piece) == piece.size();
}

QByteArray ProductCache::encode(const QList<OutlineViewItem> &products) {
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    encode(products, buffer);
    return text;
}

Error ProductCache::save(const QString &path, const QList<OutlineViewItem> &products) {
    // Atomic and complete, so neither a crash nor a full disk leaves a cache that reads as garbage.
    const Error error = writeFileAtomically(path, [&products](QIODevice &file) { return encode(products, file); });
    if (error)
        qCWarning(klvLibrary).noquote() << "KLV App Error write data to:" << urlDescription(path) << "with error"
                                        << *error;
    return error;
}

void clearProductCaches(const Locations &locations) {
    for (const QString &path : {locations.productCacheFileURL, locations.userDataFileURL}) {
        QFile file(path);
        if (file.exists() && !file.remove())
            qCWarning(klvLibrary).noquote().nospace() << "KLV App error when clear cache:" << file.errorString();
    }
}

} // namespace klv
