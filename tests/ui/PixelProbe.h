#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <functional>

// Renders a widget the way the screen would show it (at a chosen pixel ratio) and looks for colours in it.
namespace klv::ui::test {

inline QImage renderWidget(QWidget &widget, qreal ratio = 1.0) {
    QImage image((QSizeF(widget.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    // Only what the widget draws itself, over black.
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Whether some pixel of `area` (in widget coordinates) satisfies `test`.
inline bool anyPixel(const QImage &image, const QRect &area, const std::function<bool(const QColor &)> &test) {
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels(QPoint(int(area.left() * ratio), int(area.top() * ratio)),
                       QSize(int(area.width() * ratio), int(area.height() * ratio)));
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (image.rect().contains(x, y) && test(image.pixelColor(x, y))) {
                return true;
            }
        }
    }
    return false;
}

inline bool near(const QColor &a, const QColor &b, int tolerance = 6) {
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

// The colour at a point in widget coordinates.
inline QColor pixelAt(const QImage &image, QPointF point) {
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor(int(point.x() * ratio), int(point.y() * ratio));
}

} // namespace klv::ui::test
