#include "offers/ScaledPictureCache.h"

#include "library/ProductImages.h"

namespace klv::ui {

namespace {
constexpr qsizetype cacheBytes = 8 * 1024 * 1024;
} // namespace

ScaledPictureCache::ScaledPictureCache(ProductImages &images, int side)
    : m_images(images)
    , m_side(side)
    , m_pictures(cacheBytes) {}

QPixmap ScaledPictureCache::picture(const OutlineViewItem &record, qreal devicePixelRatio) {
    const QPixmap *cached = m_pictures.object(record.product_id);
    if (cached && qFuzzyCompare(cached->devicePixelRatio(), devicePixelRatio))
        return *cached;
    if (!cached && m_asked.contains(record.product_id))
        return {};
    const QImage image = m_images.productImage(record);
    if (image.isNull()) {
        m_asked.insert(record.product_id);
        return {};
    }
    const int side = qRound(m_side * devicePixelRatio);
    QPixmap scaled =
        QPixmap::fromImage(image.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation));
    scaled.setDevicePixelRatio(devicePixelRatio);
    m_pictures.insert(record.product_id, new QPixmap(scaled), qsizetype(scaled.width()) * scaled.height() * 4);
    return scaled;
}

bool ScaledPictureCache::pictureArrived(qint64 productId, const QImage &cropped) {
    m_pictures.remove(productId);
    if (cropped.isNull())
        return false;
    m_asked.remove(productId);
    return true;
}

} // namespace klv::ui
