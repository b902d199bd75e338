#include "login/LoginSeperationLine.h"

#include "style/Theme.h"

#include <QPainter>

#include <cmath>

namespace klv::ui {

LoginSeperationLine::LoginSeperationLine(QWidget *parent)
    : QWidget(parent)
    , color(theme::color(NamedColor::loginSeparation)) {}

void LoginSeperationLine::setLineColor(const QColor &lineColor) {
    color = lineColor;
    update();
}

void LoginSeperationLine::setDrawVertical(bool drawVertical) {
    vertical = drawVertical;
    updateGeometry();
    update();
}

void LoginSeperationLine::setThick(qreal lineThickness) {
    thickness = lineThickness;
    updateGeometry();
    update();
}

QSize LoginSeperationLine::sizeHint() const {
    const int across = int(std::ceil(thickness));
    return vertical ? QSize(across, 24) : QSize(24, across);
}

void LoginSeperationLine::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const QRectF line = vertical ? QRectF(bounds.center().x() - thickness / 2, 0, thickness, bounds.height())
                                 : QRectF(0, bounds.center().y() - thickness / 2, bounds.width(), thickness);
    painter.fillRect(line, color);
}

} // namespace klv::ui
