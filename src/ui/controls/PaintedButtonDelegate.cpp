#include "controls/PaintedButtonDelegate.h"

#include <QAbstractItemView>
#include <QMouseEvent>

namespace klv::ui {

PaintedButtonDelegate::PaintedButtonDelegate(QAbstractItemView &view, int buttonColumn, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_view(view)
    , m_buttonColumn(buttonColumn) {}

bool PaintedButtonDelegate::hits(const QStyleOptionViewItem &option, const QModelIndex &index,
                                 const QPoint &position) const {
    return index.column() == m_buttonColumn && buttonRect(option.rect, index).contains(position);
}

bool PaintedButtonDelegate::hasKeyboardFocus(const QModelIndex &index) const {
    return m_view.hasFocus() && m_view.currentIndex().row() == index.row();
}

void PaintedButtonDelegate::clearHover() {
    setHover({});
}

void PaintedButtonDelegate::setHover(const QModelIndex &index) {
    if (m_hoverIndex == index)
        return;
    if (m_hoverIndex.isValid())
        m_view.update(m_hoverIndex);
    m_hoverIndex = index;
    if (index.isValid())
        m_view.update(index);
}

bool PaintedButtonDelegate::editorEvent(QEvent *event, QAbstractItemModel *, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) {
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        setHover(hits(option, index, mouse->position().toPoint()) ? index : QModelIndex());
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !hits(option, index, mouse->position().toPoint()))
            return false;
        m_pressIndex = index;
        m_view.update(index);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const bool wasPressed = m_pressIndex.isValid() && m_pressIndex == index;
        if (m_pressIndex.isValid())
            m_view.update(m_pressIndex);
        m_pressIndex = QPersistentModelIndex();
        // A press dragged off the button and released elsewhere is no click.
        if (!wasPressed || !hits(option, index, mouse->position().toPoint()))
            return false;
        Q_EMIT buttonClicked(index);
        return true;
    }
    default:
        return false;
    }
}

} // namespace klv::ui
