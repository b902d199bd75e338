#include "style/FocusRing.h"

#include "style/Theme.h"

#include <QPainter>
#include <QPen>

namespace klv::ui {

void drawFocusRing(QPainter &painter, const QRectF &rect, qreal radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor ring = theme::color(NamedColor::accent);
    ring.setAlphaF(0.9f);
    painter.setPen(QPen(ring, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}

} // namespace klv::ui
