#include "KLVApp_CustomProductOptionBtn.h"

#include "FocusRing.h"
#include "ThemedMenu.h"

#include <QMenu>
#include <QPainter>

namespace klv::ui {

namespace {

// Room above and below the box, so the update badge at its top right is never cut off.
constexpr int badgeMargin = 2;

} // namespace

KLVApp_CustomProductOptionBtn::KLVApp_CustomProductOptionBtn(QWidget *parent)
    : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(tr("More actions"));
    connect(this, &QAbstractButton::clicked, this, &KLVApp_CustomProductOptionBtn::popUpMenu);
}

void KLVApp_CustomProductOptionBtn::setHaveUpdate(bool update) {
    haveUpdate = update;
    setAccessibleDescription(update ? tr("Update available") : QString());
    this->update();
}

void KLVApp_CustomProductOptionBtn::setItems(const QStringList &itemTitles) {
    titles = itemTitles;
    update();
}

QSize KLVApp_CustomProductOptionBtn::sizeHint() const {
    const QSizeF box = painter.viewSize + QSizeF(4, 4);
    return {int(box.width()), int(box.height()) + 2 * badgeMargin};
}

void KLVApp_CustomProductOptionBtn::paintEvent(QPaintEvent *) {
    QPainter widgetPainter(this);
    painter.paint(widgetPainter, drawingBounds(), haveUpdate, hovered, isDown() || menu);
    if (hasFocus()) {
        QRectF ring(QPointF(), painter.viewSize + QSizeF(6, 6));
        ring.moveCenter(drawingBounds().center());
        drawFocusRing(widgetPainter, ring, painter.corner + 2);
    }
}

void KLVApp_CustomProductOptionBtn::enterEvent(QEnterEvent *event) {
    hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void KLVApp_CustomProductOptionBtn::leaveEvent(QEvent *event) {
    hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void KLVApp_CustomProductOptionBtn::popUpMenu() {
    if (titles.isEmpty() || menu) {
        return;
    }
    menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    applyMenuTheme(*menu);
    for (const QString &title : titles) {
        QAction *action = menu->addAction(title.trimmed());
        connect(action, &QAction::triggered, this, [this, title] { Q_EMIT itemChosen(title); });
    }
    connect(menu, &QMenu::aboutToHide, this, [this] {
        menu = nullptr;
        update();
    });
    menu->popup(mapToGlobal(QPoint(0, height())));
    update();
}

QRectF KLVApp_CustomProductOptionBtn::drawingBounds() const {
    return QRectF(rect()).adjusted(0, badgeMargin, 0, -badgeMargin);
}

} // namespace klv::ui
