#pragma once

#include "controls/ProductButtonLook.h"
#include "style/CachedText.h"
#include "style/SvgIcon.h"

#include <QRectF>
#include <QString>

#include <map>

class QFont;
class QPainter;

namespace klv::ui {

// Draws the product button into any rectangle: the button widget and the library's row delegate share it.
class ProductButtonPainter {
public:
    // The background for the mouse's state: hover and press colours only while enabled and drawing a background.
    static QColor background(const ProductButtonLook &look, bool hovered, bool pressed);

    // A rounded box of the look's corner, filled with the background and stroked with the border colour, the title,
    // the image at its offset and, beside the image, the separator line.
    void paint(QPainter &painter, const QRectF &bounds, const ProductButtonLook &look, bool hovered,
               bool pressed) const;

private:
    const SvgIcon &icon(const QString &resource) const;

    mutable std::map<QString, SvgIcon> icons;
    CachedText m_texts;
};

} // namespace klv::ui
