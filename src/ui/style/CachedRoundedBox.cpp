#include "style/CachedRoundedBox.h"

#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>

namespace klv::ui {

namespace {

void drawDirectly(QPainter &painter, const QRectF &box, qreal radius, const QColor &fill, const QColor &border,
                  qreal lineWidth) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(fill.alpha() > 0 ? QBrush(fill) : QBrush(Qt::NoBrush));
    painter.setPen(border.alpha() > 0 && lineWidth > 0 ? QPen(border, lineWidth) : QPen(Qt::NoPen));
    painter.drawRoundedRect(box, radius, radius);
    painter.restore();
}

struct BoxKey {
    QRectF local;
    qreal radius;
    QRgb fill;
    QRgb border;
    qreal lineWidth;
    qreal ratio;
    bool operator==(const BoxKey &) const = default;
};

size_t qHash(const BoxKey &key, size_t seed = 0) {
    return qHashMulti(seed, key.local.x(), key.local.y(), key.local.width(), key.local.height(), key.radius, key.fill,
                      key.border, key.lineWidth, key.ratio);
}

// A window has a few dozen kinds of boxes; the bound only guards against sizes that keep changing.
constexpr qsizetype keptBoxes = 256;

bool isWhole(qreal value) {
    return std::abs(value - std::round(value)) < 1e-6;
}

} // namespace

void CachedRoundedBox::draw(QPainter &painter, const QRectF &box, qreal radius, const QColor &fill,
                            const QColor &border, qreal lineWidth) {
    const QTransform &transform = painter.worldTransform();
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // The picture covers the outline's outer half too, from whole logical pixels.
    const qreal half = lineWidth / 2;
    const QRectF outer = box.adjusted(-half, -half, half, half);
    const QPointF origin(std::floor(outer.left()), std::floor(outer.top()));
    const QPointF placed = transform.map(origin) * ratio;
    if (transform.type() > QTransform::TxTranslate || !isWhole(placed.x()) || !isWhole(placed.y())) {
        drawDirectly(painter, box, radius, fill, border, lineWidth);
        return;
    }
    const QRectF local = box.translated(-origin);
    const QSize size(qCeil(outer.right() - origin.x()), qCeil(outer.bottom() - origin.y()));
    // Images rather than pixmaps: the table outlives the application object.
    static QHash<BoxKey, QImage> pictures;
    const BoxKey key{local, radius, fill.rgba(), border.rgba(), lineWidth, ratio};
    auto found = pictures.constFind(key);
    if (found == pictures.cend()) {
        if (pictures.size() >= keptBoxes)
            pictures.clear();
        QImage picture(qCeil(size.width() * ratio), qCeil(size.height() * ratio), QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter render(&picture);
        drawDirectly(render, local, radius, fill, border, lineWidth);
        render.end();
        found = pictures.insert(key, picture);
    }
    painter.drawImage(origin, *found);
}

} // namespace klv::ui
