#include "marketing/ProductPictureDownload.h"

#include "library/ProductImages.h"
#include "store/BoundedReplyBody.h"
#include "store/Services.h"
#include "store/StoreClient.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace klv {

namespace {
// A product picture is a few hundred kilobytes; anything far larger is not one.
constexpr qint64 maxPictureBytes = qint64(16) << 20;
} // namespace

ProductPictureDownload::ProductPictureDownload(Services &services, const QUrl &pictureUrl, QObject *parent)
    : QObject(parent) {
    QNetworkRequest request(pictureUrl);
    services.store().prepare(request);
    QNetworkReply *reply = services.network().get(request);
    // The reply belongs to this object: a page closed early takes its download with it.
    reply->setParent(this);
    auto *body = new BoundedReplyBody(*reply, maxPictureBytes);
    connect(reply, &QNetworkReply::finished, this, [this, reply, body] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // An error page is never shown as the product.
        const bool answered = reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299;
        const QByteArray data = body->take();
        Q_EMIT finished(answered && !data.isEmpty() ? ProductImages::cropProductImage(QImage::fromData(data))
                                                    : QImage());
    });
}

} // namespace klv
