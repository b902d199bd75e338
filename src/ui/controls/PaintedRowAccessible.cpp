#include "controls/PaintedRowAccessible.h"

#include "controls/PaintedButtonAccessible.h"
#include "controls/PaintedButtonDelegate.h"
#include "controls/PaintedRowsAccessible.h"

#include <QAbstractItemView>
#include <QTreeView>

namespace klv::ui {

namespace {

quint64 buttonKey(int column, int zone) {
    return (quint64(quint32(column)) << 32) | quint32(zone);
}

// The first non-empty text of the role among the row's cells.
QString firstText(const QModelIndex &row, int role) {
    for (int column = 0; column < row.model()->columnCount(row.parent()); ++column) {
        if (QString text = row.siblingAtColumn(column).data(role).toString(); !text.isEmpty())
            return text;
    }
    return {};
}

} // namespace

PaintedRowAccessible::PaintedRowAccessible(QAbstractItemView &view, const QModelIndex &row)
    : m_view(&view)
    , m_row(row) {}

PaintedRowAccessible::~PaintedRowAccessible() {
    for (const QAccessible::Id id : std::as_const(m_buttons))
        QAccessible::deleteAccessibleInterface(id);
}

bool PaintedRowAccessible::isValid() const {
    const QAbstractItemView *view = m_view.data();
    return view && m_row.isValid() && m_row.model() == view->model();
}

QObject *PaintedRowAccessible::object() const {
    return nullptr;
}

QWindow *PaintedRowAccessible::window() const {
    const QAbstractItemView *view = m_view.data();
    return view ? view->window()->windowHandle() : nullptr;
}

QAccessibleInterface *PaintedRowAccessible::parent() const {
    return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
}

QList<PaintedRowAccessible::Button> PaintedRowAccessible::buttons() const {
    const QAbstractItemView *view = m_view.data();
    const auto *delegate = view && isValid() ? qobject_cast<PaintedButtonDelegate *>(view->itemDelegate()) : nullptr;
    if (!delegate)
        return {};
    QList<Button> found;
    for (int column = 0; column < m_row.model()->columnCount(m_row.parent()); ++column) {
        const QModelIndex cell = m_row.sibling(m_row.row(), column);
        for (const PaintedButtonDelegate::Zone &zone : delegate->zones(view->visualRect(cell), cell))
            found.append({column, zone.id});
    }
    return found;
}

QAccessibleInterface *PaintedRowAccessible::buttonInterface(const Button &button) const {
    const quint64 key = buttonKey(button.column, button.zone);
    if (const auto found = m_buttons.constFind(key); found != m_buttons.cend()) {
        if (QAccessibleInterface *existing = QAccessible::accessibleInterface(*found))
            return existing;
    }
    auto *made = new PaintedButtonAccessible(*m_view, m_row.sibling(m_row.row(), button.column), button.zone);
    m_buttons.insert(key, QAccessible::registerAccessibleInterface(made));
    return made;
}

int PaintedRowAccessible::childCount() const {
    return int(buttons().size());
}

QAccessibleInterface *PaintedRowAccessible::child(int index) const {
    const QList<Button> shown = buttons();
    return index >= 0 && index < shown.size() ? buttonInterface(shown.at(index)) : nullptr;
}

int PaintedRowAccessible::indexOfChild(const QAccessibleInterface *child) const {
    const auto *button = dynamic_cast<const PaintedButtonAccessible *>(child);
    if (!button || button->cell().parent() != m_row.parent() || button->cell().row() != m_row.row())
        return -1;
    const QList<Button> shown = buttons();
    for (int at = 0; at < shown.size(); ++at) {
        if (shown.at(at).column == button->cell().column() && shown.at(at).zone == button->zone())
            return at;
    }
    return -1;
}

QAccessibleInterface *PaintedRowAccessible::childAt(int x, int y) const {
    for (int at = 0; at < childCount(); ++at) {
        QAccessibleInterface *button = child(at);
        if (button && button->rect().contains(x, y))
            return button;
    }
    return nullptr;
}

QString PaintedRowAccessible::text(QAccessible::Text t) const {
    if (!isValid())
        return {};
    switch (t) {
    case QAccessible::Name:
        if (QString name = firstText(m_row, Qt::AccessibleTextRole); !name.isEmpty())
            return name;
        return firstText(m_row, Qt::DisplayRole);
    case QAccessible::Description:
        return firstText(m_row, Qt::AccessibleDescriptionRole);
    default:
        return {};
    }
}

void PaintedRowAccessible::setText(QAccessible::Text, const QString &) {}

QRect PaintedRowAccessible::rect() const {
    const QAbstractItemView *view = m_view.data();
    if (!view || !isValid())
        return {};
    QRect row;
    for (int column = 0; column < m_row.model()->columnCount(m_row.parent()); ++column)
        row |= view->visualRect(m_row.sibling(m_row.row(), column));
    return QRect(view->viewport()->mapToGlobal(row.topLeft()), row.size());
}

QAccessible::Role PaintedRowAccessible::role() const {
    return QAccessible::ListItem;
}

QAccessible::State PaintedRowAccessible::state() const {
    QAccessible::State state;
    const QAbstractItemView *view = m_view.data();
    if (!view || !isValid()) {
        state.invalid = true;
        return state;
    }
    state.focusable = true;
    const QModelIndex current = view->currentIndex();
    state.focused =
        view->hasFocus() && current.isValid() && current.row() == m_row.row() && current.parent() == m_row.parent();
    state.disabled = !view->isEnabled();
    state.invisible = !view->isVisible();
    const QRect shown(view->viewport()->mapToGlobal(QPoint(0, 0)), view->viewport()->size());
    state.offscreen = !shown.intersects(rect());
    if (const auto *tree = qobject_cast<const QTreeView *>(view); tree && m_row.model()->hasChildren(m_row)) {
        state.expandable = true;
        state.expanded = tree->isExpanded(m_row);
        state.collapsed = !state.expanded;
    }
    return state;
}

} // namespace klv::ui
