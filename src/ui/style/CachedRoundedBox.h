#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace klv::ui {

// A rounded box, filled and outlined, drawn from a picture rendered once per size and colours: an antialiased
// outline through the stroker costs more than anything else a painted row draws.
class CachedRoundedBox {
public:
    // The outline is centred on the box's edge, as a pen of that width would draw it. Boxes that do not sit on
    // whole device pixels, or a painter that scales or rotates, are drawn directly.
    static void draw(QPainter &painter, const QRectF &box, qreal radius, const QColor &fill, const QColor &border,
                     qreal lineWidth);
};

} // namespace klv::ui
