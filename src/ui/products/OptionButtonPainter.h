#pragma once

#include "style/SvgIcon.h"

#include <QColor>
#include <QRectF>
#include <QSizeF>

class QPainter;

namespace klv::ui {

// Draws the option button of a library row: a stroked rounded box around the three dots, and a red badge at its
// top right while the product has an update. Shared by the button widget and the row delegate.
class OptionButtonPainter {
public:
    static constexpr qreal badgeRadius = 4;

    QColor borderColor;
    QSizeF viewSize{32, 32};
    QSizeF imageSize{20, 20};
    qreal corner = 4;
    qreal lineWidth = 1.5;

    OptionButtonPainter();

    // Centre of the update badge for a button drawn in `bounds`.
    QPointF badgeCentre(const QRectF &bounds) const;
    void paint(QPainter &painter, const QRectF &bounds, bool isHaveUpdate, bool hovered, bool pressed) const;

private:
    SvgIcon threeDots;
};

} // namespace klv::ui
