#include "PictureLoader.h"

#include "library/ProductImages.h"

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

void PictureLoader::request(qint64 productId, const QString &path, int side) {
    const std::lock_guard lock(m_mutex);
    if (productId == m_decoding ||
        std::any_of(m_waiting.cbegin(), m_waiting.cend(),
                    [productId](const Request &waiting) { return waiting.productId == productId; }))
        return;
    m_waiting.append({productId, path, side});
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
        QImage picture = ProductImages::cropProductImage(QImage(next.path));
        if (!picture.isNull())
            picture = picture.scaled(next.side, next.side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        // Delivered on this object's thread, and dropped should the loader be gone by then.
        QMetaObject::invokeMethod(
            this, [this, productId = next.productId, picture] { Q_EMIT loaded(productId, picture); },
            Qt::QueuedConnection);
    }
}

} // namespace klv::ui
