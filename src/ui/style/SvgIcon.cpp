#include "style/SvgIcon.h"

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
    paintCached(painter, target, QColor());
}

void SvgIcon::paintTinted(QPainter &painter, const QRectF &target, const QColor &tint) const {
    paintCached(painter, target, tint);
}

void SvgIcon::paintCached(QPainter &painter, const QRectF &target, const QColor &tint) const {
    if (!renderer || target.isEmpty()) {
        return;
    }
    // A painter that scales or rotates gets a direct rendering; a cached image would lose sharpness.
    if (painter.transform().type() > QTransform::TxTranslate && !tint.isValid()) {
        renderer->render(&painter, target);
        return;
    }
    // Rendered at the device's pixel ratio, so the image is as sharp as a direct rendering.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(int(std::ceil(target.width() * ratio)), int(std::ceil(target.height() * ratio)));
    if (rendered.size() != pixels || rendered.devicePixelRatio() != ratio || renderedTint != tint) {
        rendered = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        rendered.setDevicePixelRatio(ratio);
        rendered.fill(Qt::transparent);
        QPainter imagePainter(&rendered);
        imagePainter.setRenderHint(QPainter::Antialiasing);
        const QRectF area(QPointF(0, 0), target.size());
        renderer->render(&imagePainter, area);
        if (tint.isValid()) {
            imagePainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            imagePainter.fillRect(area, tint);
        }
        renderedTint = tint;
    }
    painter.drawImage(target.topLeft(), rendered);
}

} // namespace klv::ui
