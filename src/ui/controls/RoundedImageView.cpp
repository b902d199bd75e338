#include "controls/RoundedImageView.h"

#include "style/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace klv::ui {

RoundedImageView::RoundedImageView(qreal cornerRadius, QWidget *parent)
    : QWidget(parent)
    , m_cornerRadius(cornerRadius) {}

void RoundedImageView::setImage(const QImage &image) {
    m_image = image;
    update();
}

void RoundedImageView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    if (m_image.isNull()) {
        painter.fillPath(rounded, theme::color(NamedColor::accountSettingSectionBG));
        return;
    }
    painter.setClipPath(rounded);
    // Scaled to cover the whole view, the overflow cut off evenly on both sides.
    const QSizeF covered = QSizeF(m_image.size()).scaled(QSizeF(size()), Qt::KeepAspectRatioByExpanding);
    const QRectF target(QPointF((width() - covered.width()) / 2, (height() - covered.height()) / 2), covered);
    painter.drawImage(target, m_image);
}

} // namespace klv::ui
