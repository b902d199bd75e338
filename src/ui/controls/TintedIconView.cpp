#include "controls/TintedIconView.h"

#include <QPainter>

namespace klv::ui {

TintedIconView::TintedIconView(QWidget *parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TintedIconView::setIcon(const QString &resourcePath) {
    icon = SvgIcon(resourcePath);
    update();
}

void TintedIconView::setTint(const QColor &color) {
    tintColor = color;
    update();
}

void TintedIconView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    icon.paintTinted(painter, QRectF(rect()), tintColor);
}

} // namespace klv::ui
