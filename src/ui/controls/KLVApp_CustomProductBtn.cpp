#include "controls/KLVApp_CustomProductBtn.h"

#include "style/FocusRing.h"

#include <QEvent>
#include <QPainter>

namespace klv::ui {

KLVApp_CustomProductBtn::KLVApp_CustomProductBtn(QWidget *parent)
    : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void KLVApp_CustomProductBtn::setLook(const ProductButtonLook &look) {
    buttonLook = look;
    setText(look.title);
    setAccessibleName(look.title);
    setEnabled(look.enabled);
    update();
}

void KLVApp_CustomProductBtn::applyState(const ProductButtonState &state, qint64 tag) {
    productTag = tag;
    setLook(ProductButtonLook::forState(state));
}

void KLVApp_CustomProductBtn::setTitle(const QString &title) {
    buttonLook.title = title;
    setText(title);
    setAccessibleName(title);
    update();
}

void KLVApp_CustomProductBtn::setTextColor(const QColor &color) {
    buttonLook.textColor = color;
    update();
}

void KLVApp_CustomProductBtn::setBorderColor(const QColor &color) {
    buttonLook.borderColor = color;
    update();
}

void KLVApp_CustomProductBtn::setBackgroundColors(const QColor &normal, const QColor &hover, const QColor &active) {
    buttonLook.bgColorDefault = normal;
    buttonLook.bgColorHover = hover;
    buttonLook.bgColorActive = active;
    update();
}

void KLVApp_CustomProductBtn::setImage(const QString &resource) {
    buttonLook.image = resource;
    update();
}

void KLVApp_CustomProductBtn::setDrawLine(bool draw) {
    buttonLook.isDrawLine = draw;
    update();
}

void KLVApp_CustomProductBtn::setDrawBG(bool draw) {
    buttonLook.isDrawBG = draw;
    update();
}

QColor KLVApp_CustomProductBtn::currentBackground() const {
    return ProductButtonPainter::background(buttonLook, hovered, isDown());
}

QSize KLVApp_CustomProductBtn::sizeHint() const {
    const int imageWidth =
        buttonLook.image.isEmpty()
            ? 0
            : int(2 * buttonLook.imageOffset.x() + buttonLook.imageSize.width() + buttonLook.lineWidth);
    return {imageWidth + fontMetrics().horizontalAdvance(buttonLook.title) + 28, 36};
}

void KLVApp_CustomProductBtn::paintEvent(QPaintEvent *) {
    QPainter widgetPainter(this);
    painter.paint(widgetPainter, QRectF(rect()), buttonLook, hovered, isDown());
    if (hasFocus()) {
        drawFocusRing(widgetPainter, QRectF(rect()).adjusted(-1, -1, 1, 1), buttonLook.corner + 1);
    }
}

void KLVApp_CustomProductBtn::enterEvent(QEnterEvent *event) {
    hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void KLVApp_CustomProductBtn::leaveEvent(QEvent *event) {
    hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void KLVApp_CustomProductBtn::changeEvent(QEvent *event) {
    // The look's enabled flag decides the background; it follows the widget however the widget is switched.
    if (event->type() == QEvent::EnabledChange) {
        buttonLook.enabled = isEnabled();
        update();
    }
    QAbstractButton::changeEvent(event);
}

} // namespace klv::ui
