#include "products/OptionButtonPainter.h"

#include "style/CachedRoundedBox.h"
#include "style/Theme.h"

#include <QPainter>

namespace klv::ui {

OptionButtonPainter::OptionButtonPainter()
    : borderColor(theme::color(NamedColor::outlineOptionButton))
    , threeDots(QStringLiteral(":/icons/three-dot.svg")) {}

QPointF OptionButtonPainter::badgeCentre(const QRectF &bounds) const {
    return {bounds.x() + bounds.width() / 2 + viewSize.width() / 2 - 2, bounds.y() + 3};
}

void OptionButtonPainter::paint(QPainter &painter, const QRectF &bounds, bool isHaveUpdate, bool hovered,
                                bool pressed) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF box(QPointF(), viewSize + QSizeF(2, 2));
    box.moveCenter(bounds.center());
    // A faint fill answers the mouse; the box itself is only an outline.
    const int wash = pressed ? 40 : hovered ? 22 : 0;
    CachedRoundedBox::draw(painter, box, corner, theme::color(NamedColor::wash, wash), borderColor, lineWidth);

    QRectF image(QPointF(), imageSize);
    image.moveCenter(bounds.center());
    threeDots.paint(painter, image);

    if (isHaveUpdate) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(theme::color(NamedColor::danger));
        painter.drawEllipse(badgeCentre(bounds), badgeRadius, badgeRadius);
    }
    painter.restore();
}

} // namespace klv::ui
