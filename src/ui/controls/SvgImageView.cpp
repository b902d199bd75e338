#include "controls/SvgImageView.h"

#include <QPainter>

namespace klv::ui {

SvgImageView::SvgImageView(const QString &resourcePath, QWidget *parent)
    : QWidget(parent)
    , image(resourcePath) {}

void SvgImageView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    image.paint(painter, QRectF(rect()));
}

} // namespace klv::ui
