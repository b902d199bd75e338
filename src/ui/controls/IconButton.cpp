#include "controls/IconButton.h"

#include "style/FocusRing.h"
#include "style/SvgIcon.h"
#include "style/Theme.h"

#include <QPainter>

namespace klv::ui {

IconButton::IconButton(QWidget *parent)
    : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize IconButton::sizeHint() const {
    return {24, 24};
}

void IconButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const qreal radius = qMin(bounds.width(), bounds.height()) / 4;
    if ((hovered || isDown()) && isEnabled()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(theme::color(NamedColor::wash, isDown() ? 46 : 24));
        painter.drawRoundedRect(bounds, radius, radius);
    }
    if (!isEnabled()) {
        painter.setOpacity(0.4);
    }
    currentIcon().paint(painter, bounds);
    painter.setOpacity(1);
    if (hasFocus()) {
        drawFocusRing(painter, bounds, radius);
    }
}

void IconButton::enterEvent(QEnterEvent *event) {
    hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void IconButton::leaveEvent(QEvent *event) {
    hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace klv::ui
