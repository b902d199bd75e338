#pragma once

#include <QRectF>

class QPainter;

namespace klv::ui {

// The keyboard-focus outline every custom control draws around itself, in the accent colour.
void drawFocusRing(QPainter &painter, const QRectF &rect, qreal radius);

} // namespace klv::ui
