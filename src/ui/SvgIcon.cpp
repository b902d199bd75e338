#include "SvgIcon.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace klv::ui {

SvgIcon::SvgIcon() = default;

SvgIcon::SvgIcon(const QString &resourcePath)
    : renderer(std::make_unique<QSvgRenderer>(resourcePath)) {
    if (!renderer->isValid()) {
        renderer.reset();
    }
}

SvgIcon::SvgIcon(SvgIcon &&) noexcept = default;
SvgIcon &SvgIcon::operator=(SvgIcon &&) noexcept = default;
SvgIcon::~SvgIcon() = default;

bool SvgIcon::isNull() const {
    return !renderer;
}

void SvgIcon::paint(QPainter &painter, const QRectF &target) const {
    if (renderer && !target.isEmpty()) {
        renderer->render(&painter, target);
    }
}

void SvgIcon::paintTinted(QPainter &painter, const QRectF &target, const QColor &tint) const {
    if (!renderer || target.isEmpty()) {
        return;
    }
    // Rendered at the device's pixel ratio, so the tinted copy is as sharp as a direct rendering.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QImage image(int(std::ceil(target.width() * ratio)), int(std::ceil(target.height() * ratio)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter imagePainter(&image);
        imagePainter.setRenderHint(QPainter::Antialiasing);
        renderer->render(&imagePainter, QRectF(QPointF(0, 0), target.size()));
        imagePainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        imagePainter.fillRect(QRectF(QPointF(0, 0), target.size()), tint);
    }
    painter.drawImage(target.topLeft(), image);
}

} // namespace klv::ui
