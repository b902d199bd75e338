#include "products/PictureLoader.h"

#include "library/ProductImages.h"

#include <QPainter>

#include <algorithm>

namespace klv::ui {

PictureLoader::PictureLoader(QObject *parent)
    : QObject(parent) {
    m_pool.setMaxThreadCount(1);
}

PictureLoader::~PictureLoader() {
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.clear();
    }
    m_pool.waitForDone();
}

QImage PictureLoader::roundedSquare(const QImage &picture, int side, qreal cornerRadius) {
    if (picture.isNull())
        return {};
    const QImage scaled = picture.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    QImage rounded(side, side, QImage::Format_ARGB32_Premultiplied);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // The centre of a picture that is not square, as the rows crop it.
    painter.setBrush(QBrush(scaled));
    painter.setBrushOrigin(-(scaled.width() - side) / 2, -(scaled.height() - side) / 2);
    painter.drawRoundedRect(QRectF(0, 0, side, side), cornerRadius, cornerRadius);
    return rounded;
}

void PictureLoader::request(qint64 productId, const QString &path, int side, qreal cornerRadius) {
    const std::lock_guard lock(m_mutex);
    if (productId == m_decoding ||
        std::any_of(m_waiting.cbegin(), m_waiting.cend(),
                    [productId](const Request &waiting) { return waiting.productId == productId; }))
        return;
    m_waiting.append({productId, path, side, cornerRadius});
    if (m_waiting.size() > maxWaiting)
        m_waiting.removeFirst();
    if (!m_running) {
        m_running = true;
        m_pool.start([this] { decodePending(); });
    }
}

void PictureLoader::decodePending() {
    for (;;) {
        Request next;
        {
            const std::lock_guard lock(m_mutex);
            if (m_waiting.isEmpty()) {
                m_decoding = -1;
                m_running = false;
                return;
            }
            next = m_waiting.takeLast();
            m_decoding = next.productId;
        }
        const QImage picture =
            roundedSquare(ProductImages::cropProductImage(QImage(next.path)), next.side, next.cornerRadius);
        // Delivered on this object's thread, and dropped should the loader be gone by then.
        QMetaObject::invokeMethod(
            this, [this, productId = next.productId, picture] { Q_EMIT loaded(productId, picture); },
            Qt::QueuedConnection);
    }
}

} // namespace klv::ui
