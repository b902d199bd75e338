#include "marketing/ProductDetail.h"

#include "library/WholeTextLink.h"

namespace klv {

using namespace Qt::StringLiterals;

ProductDetail ProductDetail::describe(const OnSaleProductInfo &product, const Configuration &configuration) {
    return {product.product_name,
            product.product_shortDesc,
            cleanedLongDescription(product.product_longDesc),
            videoAddress(configuration.videoPlayerUrl, product.product_vimeoID),
            cartAddress(configuration.storeUrl, product.product_id),
            wholeTextLink(product.product_image)};
}

QString ProductDetail::cleanedLongDescription(const QString &longDescription) {
    return QString(longDescription).replace(u"&#8217;"_s, u"'"_s).replace(u"&nbsp;"_s, u"*"_s);
}

std::optional<QUrl> ProductDetail::videoAddress(const QString &playerBase, qint64 videoId) {
    const QUrl url(playerBase + QString::number(videoId) + u"?autoplay=1&loop=1&title=0&byline=0&portrait=0&muted=1"_s,
                   QUrl::StrictMode);
    // A relative address would load nothing a person could watch; only a web page is a player.
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != "http"_L1 && url.scheme() != "https"_L1))
        return std::nullopt;
    return url;
}

QUrl ProductDetail::cartAddress(const QString &storeUrl, qint64 productId) {
    return QUrl(storeUrl + u"/cart/?add-to-cart="_s + QString::number(productId));
}

} // namespace klv
