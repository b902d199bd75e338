#include "controls/PaintedButtonAccessible.h"

#include "controls/PaintedButtonDelegate.h"
#include "controls/PaintedRowsAccessible.h"

#include <QAbstractItemView>

namespace klv::ui {

PaintedButtonAccessible::PaintedButtonAccessible(QAbstractItemView &view, const QModelIndex &cell, int zone)
    : m_view(&view)
    , m_cell(cell)
    , m_zone(zone) {}

PaintedButtonDelegate *PaintedButtonAccessible::delegate() const {
    const QAbstractItemView *view = m_view.data();
    return view ? qobject_cast<PaintedButtonDelegate *>(view->itemDelegate()) : nullptr;
}

bool PaintedButtonAccessible::isValid() const {
    const QAbstractItemView *view = m_view.data();
    return view && delegate() && m_cell.isValid() && m_cell.model() == view->model();
}

QObject *PaintedButtonAccessible::object() const {
    return nullptr;
}

QWindow *PaintedButtonAccessible::window() const {
    const QAbstractItemView *view = m_view.data();
    return view ? view->window()->windowHandle() : nullptr;
}

QAccessibleInterface *PaintedButtonAccessible::childAt(int, int) const {
    return nullptr;
}

QAccessibleInterface *PaintedButtonAccessible::parent() const {
    const auto *rows =
        m_view ? dynamic_cast<PaintedRowsAccessible *>(QAccessible::queryAccessibleInterface(m_view)) : nullptr;
    return rows ? rows->rowInterface(m_cell) : nullptr;
}

QAccessibleInterface *PaintedButtonAccessible::child(int) const {
    return nullptr;
}

int PaintedButtonAccessible::childCount() const {
    return 0;
}

int PaintedButtonAccessible::indexOfChild(const QAccessibleInterface *) const {
    return -1;
}

QString PaintedButtonAccessible::text(QAccessible::Text t) const {
    if (!isValid())
        return {};
    switch (t) {
    case QAccessible::Name:
        return delegate()->zoneText(m_cell, m_zone).name;
    case QAccessible::Description:
        return delegate()->zoneText(m_cell, m_zone).description;
    default:
        return {};
    }
}

void PaintedButtonAccessible::setText(QAccessible::Text, const QString &) {}

QRect PaintedButtonAccessible::rect() const {
    const QAbstractItemView *view = m_view.data();
    if (!view || !isValid())
        return {};
    const QRect button = delegate()->zoneRect(m_cell, m_zone);
    return QRect(view->viewport()->mapToGlobal(button.topLeft()), button.size());
}

QAccessible::Role PaintedButtonAccessible::role() const {
    return QAccessible::Button;
}

QAccessible::State PaintedButtonAccessible::state() const {
    QAccessible::State state;
    const QAbstractItemView *view = m_view.data();
    if (!view || !isValid()) {
        state.invalid = true;
        return state;
    }
    state.disabled = !view->isEnabled() || !delegate()->zoneText(m_cell, m_zone).enabled;
    state.invisible = !view->isVisible();
    const QRect shown(view->viewport()->mapToGlobal(QPoint(0, 0)), view->viewport()->size());
    state.offscreen = !shown.intersects(rect());
    return state;
}

void *PaintedButtonAccessible::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
}

QStringList PaintedButtonAccessible::actionNames() const {
    return isValid() && !state().disabled ? QStringList{pressAction()} : QStringList{};
}

void PaintedButtonAccessible::doAction(const QString &actionName) {
    if (actionName == pressAction() && actionNames().contains(actionName))
        delegate()->press(m_cell, m_zone);
}

QStringList PaintedButtonAccessible::keyBindingsForAction(const QString &) const {
    return {};
}

} // namespace klv::ui
