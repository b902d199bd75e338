#include "controls/PaintedButtonDelegate.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace klv::ui {

PaintedButtonDelegate::PaintedButtonDelegate(QAbstractItemView &view, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_view(view)
    , m_viewport(view.viewport()) {
    // The view hands the delegate a release only over the pressed cell and nothing outside its rows, so moves,
    // releases and leaving are watched on the viewport; Escape and the focus arrive at the view itself.
    m_viewport->installEventFilter(this);
    m_view.installEventFilter(this);
}

QRect PaintedButtonDelegate::zoneRect(const QModelIndex &index, int zone) const {
    if (!index.isValid())
        return {};
    for (const Zone &candidate : zones(m_view.visualRect(index), index)) {
        if (candidate.id == zone)
            return candidate.rect;
    }
    return {};
}

void PaintedButtonDelegate::reset() {
    setHover({}, noZone);
    setPress({}, noZone);
}

void PaintedButtonDelegate::press(const QModelIndex &index, int zone) {
    if (zoneRect(index, zone).isValid())
        Q_EMIT buttonClicked(index, zone);
}

bool PaintedButtonDelegate::isHovered(const QModelIndex &index, int zone) const {
    return m_hoverZone == zone && m_hoverIndex == index;
}

bool PaintedButtonDelegate::isPressed(const QModelIndex &index, int zone) const {
    return m_pressZone == zone && m_pressIndex == index;
}

bool PaintedButtonDelegate::hasKeyboardFocus(const QModelIndex &index) const {
    return m_view.hasFocus() && m_view.currentIndex().row() == index.row();
}

int PaintedButtonDelegate::zoneAt(const QModelIndex &index, const QPoint &position) const {
    // Rows scrolled out of sight lie outside the viewport; their buttons cannot be under the mouse.
    if (!index.isValid() || !m_viewport->rect().contains(position))
        return noZone;
    for (const Zone &zone : zones(m_view.visualRect(index), index)) {
        if (zone.rect.contains(position))
            return zone.id;
    }
    return noZone;
}

void PaintedButtonDelegate::setHover(const QModelIndex &index, int zone) {
    if (m_hoverIndex == index && m_hoverZone == zone)
        return;
    if (m_hoverIndex.isValid())
        m_view.update(m_hoverIndex);
    m_hoverIndex = index;
    m_hoverZone = zone;
    if (m_hoverIndex.isValid())
        m_view.update(m_hoverIndex);
}

void PaintedButtonDelegate::setPress(const QModelIndex &index, int zone) {
    if (m_pressIndex.isValid())
        m_view.update(m_pressIndex);
    m_pressIndex = index;
    m_pressZone = zone;
    if (m_pressIndex.isValid())
        m_view.update(m_pressIndex);
}

void PaintedButtonDelegate::release(const QPoint &position) {
    const QModelIndex pressed = m_pressIndex;
    const int zone = m_pressZone;
    setPress({}, noZone);
    const QModelIndex released = m_view.indexAt(position);
    if (released == pressed && zoneAt(released, position) == zone)
        Q_EMIT buttonClicked(pressed, zone);
}

bool PaintedButtonDelegate::editorEvent(QEvent *event, QAbstractItemModel *, const QStyleOptionViewItem &,
                                        const QModelIndex &index) {
    // Only the press comes through here: taking it keeps the view from treating it as a press on the row.
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const int zone = mouse->button() == Qt::LeftButton ? zoneAt(index, mouse->position().toPoint()) : noZone;
    if (zone == noZone)
        return false;
    setPress(index, zone);
    return true;
}

bool PaintedButtonDelegate::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_viewport) {
        switch (event->type()) {
        case QEvent::MouseMove: {
            // A view that shows several delegates' rows in turn leaves the others idle.
            if (m_view.itemDelegate() != this)
                break;
            const QPoint position = static_cast<QMouseEvent *>(event)->position().toPoint();
            const QModelIndex index = m_view.indexAt(position);
            setHover(index, zoneAt(index, position));
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (m_pressIndex.isValid() && mouse->button() == Qt::LeftButton)
                release(mouse->position().toPoint());
            break;
        }
        case QEvent::Leave:
            if (m_hoverIndex.isValid())
                setHover({}, noZone);
            break;
        default:
            break;
        }
        // The view still sees every event: it ends its own press and drag as usual.
        return false;
    }
    if (watched != &m_view || !m_pressIndex.isValid())
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Escape ends the press before any shortcut of the window sees it.
        if (static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
            return false;
        event->accept();
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
            return false;
        setPress({}, noZone);
        return true;
    case QEvent::FocusOut:
        setPress({}, noZone);
        return false;
    default:
        return false;
    }
}

} // namespace klv::ui
