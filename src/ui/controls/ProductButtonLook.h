#pragma once

#include "library/ProductButtonState.h"

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>

namespace klv::ui {

// Everything the product button draws, apart from the mouse: title, colours, image and the measures of its
// drawing. The defaults are the library row's install button.
struct ProductButtonLook {
    QString title;
    QColor textColor;
    QColor borderColor;
    QColor bgColorDefault;
    QColor bgColorHover;
    QColor bgColorActive;
    // An icon resource; empty for no image.
    QString image;
    QSizeF imageSize{20, 20};
    QPointF imageOffset{10, 8};
    QPointF textOffset{0, 0};
    qreal corner = 4;
    qreal lineWidth = 1.5;
    bool isDrawLine = true;
    bool isDrawBG = true;
    bool enabled = true;

    ProductButtonLook();
    // The look of a library row's button in the given state: the install look, or the clear done look.
    static ProductButtonLook forState(const ProductButtonState &state);
};

} // namespace klv::ui
