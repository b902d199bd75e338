#include "controls/ProductButtonPainter.h"

#include "style/CachedRoundedBox.h"

#include <QPainter>

namespace klv::ui {

QColor ProductButtonPainter::background(const ProductButtonLook &look, bool hovered, bool pressed) {
    if (!look.enabled || !look.isDrawBG) {
        return Qt::transparent;
    }
    if (pressed) {
        return look.bgColorActive;
    }
    return hovered ? look.bgColorHover : look.bgColorDefault;
}

void ProductButtonPainter::paint(QPainter &painter, const QRectF &bounds, const ProductButtonLook &look, bool hovered,
                                 bool pressed) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The stroke is centred on the outline: inset by half of it so no edge is cut off.
    const qreal halfLine = look.lineWidth / 2;
    CachedRoundedBox::draw(painter, bounds.adjusted(halfLine, halfLine, -halfLine, -halfLine), look.corner,
                           background(look, hovered, pressed), look.borderColor, look.lineWidth);

    const bool imageShown = !look.image.isEmpty();
    const qreal lineX = bounds.x() + 2 * look.imageOffset.x() + look.imageSize.width();
    QRectF titleArea = bounds;
    if (imageShown) {
        titleArea.setLeft(lineX + look.lineWidth);
        icon(look.image).paint(painter, QRectF(bounds.topLeft() + look.imageOffset, look.imageSize));
        // The separator belongs to the image: without one it would divide nothing.
        if (look.isDrawLine) {
            painter.setPen(QPen(look.borderColor, look.lineWidth));
            painter.drawLine(QPointF(lineX, bounds.y() + 5), QPointF(lineX, bounds.bottom() - 5));
        }
    }
    painter.setPen(look.textColor);
    m_texts.draw(painter, titleArea.translated(look.textOffset), Qt::AlignCenter, look.title);
    painter.restore();
}

const SvgIcon &ProductButtonPainter::icon(const QString &resource) const {
    auto found = icons.find(resource);
    if (found == icons.end()) {
        found = icons.emplace(resource, SvgIcon(resource)).first;
    }
    return found->second;
}

} // namespace klv::ui
