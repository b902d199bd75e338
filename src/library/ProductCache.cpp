#include "library/ProductCache.h"

#include "core/AtomicFileWrite.h"
#include "core/Locations.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace klv {

std::optional<QList<OutlineViewItem>> ProductCache::load(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decode(file.readAll());
}

std::optional<QList<OutlineViewItem>> ProductCache::decode(const QByteArray &content) {
    const QJsonDocument document = QJsonDocument::fromJson(content);
    if (!document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<OutlineViewItem> products;
    products.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
        products.append(makeOutlineViewItem(element.toObject()));
    }
    return products;
}

QByteArray ProductCache::encode(const QList<OutlineViewItem> &products) {
    QJsonArray array;
    for (const OutlineViewItem &product : products)
        array.append(productDictionary(product));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QString> ProductCache::save(const QString &path, const QList<OutlineViewItem> &products) {
    // Atomic and complete, so neither a crash nor a full disk leaves a cache that reads as garbage.
    const std::optional<QString> error = writeFileAtomically(path, encode(products));
    if (error)
        std::fprintf(stderr, "KLV App Error write data to: %s with error %s\n", qUtf8Printable(urlDescription(path)),
                     qUtf8Printable(*error));
    return error;
}

void clearProductCaches(const Locations &locations) {
    for (const QString &path : {locations.productCacheFileURL, locations.userDataFileURL}) {
        QFile file(path);
        if (file.exists() && !file.remove())
            std::fprintf(stderr, "KLV App error when clear cache:%s\n", qUtf8Printable(file.errorString()));
    }
}

} // namespace klv
