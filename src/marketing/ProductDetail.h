#pragma once

#include "core/Configuration.h"
#include "library/OnSaleProductInfo.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace klv {

// What the detail page of a marketed product shows and where its links lead.
struct ProductDetail {
    QString name;
    QString shortDescription;
    // With the two entities the store's texts carry replaced.
    QString longDescription;
    // The product's looping, muted video; nothing when the player address is no usable web address.
    std::optional<QUrl> videoUrl;
    // The store's cart with the product added.
    QUrl cartUrl;
    // The product's picture, when the store's text is a link.
    std::optional<QUrl> pictureUrl;

    static ProductDetail describe(const OnSaleProductInfo &product, const Configuration &configuration);
    // "&#8217;" becomes an apostrophe, then "&nbsp;" an asterisk; any other entity stays as it is.
    static QString cleanedLongDescription(const QString &longDescription);
    static std::optional<QUrl> videoAddress(const QString &playerBase, qint64 videoId);
    static QUrl cartAddress(const QString &storeUrl, qint64 productId);
};

} // namespace klv
