#include "login/LoginSeperationBox.h"

#include "style/Theme.h"

#include <QPainter>

namespace klv::ui {

LoginSeperationBox::LoginSeperationBox(QWidget *parent)
    : QWidget(parent)
    , background(theme::color(NamedColor::loginSeparation))
    , border(theme::color(NamedColor::loginSeparation)) {}

void LoginSeperationBox::setBgColor(const QColor &color) {
    background = color;
    update();
}

void LoginSeperationBox::setDrawBG(bool draw) {
    drawBackground = draw;
    update();
}

void LoginSeperationBox::setBdColor(const QColor &color) {
    border = color;
    update();
}

void LoginSeperationBox::setDrawBorder(bool draw) {
    drawBorder = draw;
    update();
}

void LoginSeperationBox::setCorner(qreal radius) {
    cornerRadius = radius;
    update();
}

void LoginSeperationBox::paintEvent(QPaintEvent *) {
    if (!drawBackground && !drawBorder) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(drawBackground ? QBrush(background) : Qt::NoBrush);
    painter.setPen(drawBorder ? QPen(border, 1) : Qt::NoPen);
    const qreal inset = drawBorder ? 0.5 : 0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), cornerRadius, cornerRadius);
}

} // namespace klv::ui
