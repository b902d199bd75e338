#include "controls/KLVApp_CurveBox.h"

#include "style/Theme.h"

#include <QPainter>

namespace klv::ui {

KLVApp_CurveBox::KLVApp_CurveBox(QWidget *parent)
    : QWidget(parent)
    , background(theme::color(NamedColor::accountSettingSectionBG)) {}

void KLVApp_CurveBox::setCorner(qreal radius) {
    cornerRadius = radius;
    update();
}

void KLVApp_CurveBox::setBgColor(const QColor &color) {
    background = color;
    update();
}

void KLVApp_CurveBox::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}

} // namespace klv::ui
