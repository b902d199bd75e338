#include "controls/PaintedRowsAccessible.h"

#include "controls/PaintedButtonDelegate.h"
#include "controls/PaintedRowAccessible.h"

#include <QAbstractItemView>
#include <QTreeView>

#include <functional>

namespace klv::ui {

namespace {

constexpr const char *paintedRowsProperty = "klvPaintedRows";

QAccessibleInterface *paintedRowsFactory(const QString &, QObject *object) {
    auto *view = qobject_cast<QAbstractItemView *>(object);
    if (view && view->property(paintedRowsProperty).toBool())
        return new PaintedRowsAccessible(*view);
    return nullptr;
}

// A row's place: its row under its parent's row plus one, 0 at the top level.
quint64 placeKey(const QModelIndex &row) {
    const quint64 parent = row.parent().isValid() ? quint64(row.parent().row()) + 1 : 0;
    return (parent << 32) | quint32(row.row());
}

bool isExpanded(const QAbstractItemView &view, const QModelIndex &row) {
    const auto *tree = qobject_cast<const QTreeView *>(&view);
    return tree && tree->isExpanded(row);
}

// Walks the rows shown below `parent` in order, counting them in `number`, until `stop` holds for one: that row,
// or an invalid index once all are counted.
QModelIndex walkRows(const QAbstractItemView &view, const QModelIndex &parent, int &number,
                     const std::function<bool(const QModelIndex &, int)> &stop) {
    const QAbstractItemModel *model = view.model();
    if (!model)
        return {};
    for (int row = 0, rows = model->rowCount(parent); row < rows; ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (stop(index, number))
            return index;
        ++number;
        if (isExpanded(view, index)) {
            if (const QModelIndex inner = walkRows(view, index, number, stop); inner.isValid())
                return inner;
        }
    }
    return {};
}

} // namespace

void PaintedRowsAccessible::enable(QAbstractItemView &view) {
    static const bool installed = [] {
        QAccessible::installFactory(paintedRowsFactory);
        return true;
    }();
    Q_UNUSED(installed)
    view.setProperty(paintedRowsProperty, true);
}

void PaintedRowsAccessible::notifyCurrentRow(QAbstractItemView &view) {
    if (!QAccessible::isActive() || !view.hasFocus())
        return;
    const auto *rows = dynamic_cast<PaintedRowsAccessible *>(QAccessible::queryAccessibleInterface(&view));
    if (QAccessibleInterface *row = rows ? rows->rowInterface(view.currentIndex()) : nullptr) {
        QAccessibleEvent focus(row, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

void PaintedRowsAccessible::notifyRowChanged(QAbstractItemView &view, const QModelIndex &index) {
    if (!QAccessible::isActive())
        return;
    const auto *rows = dynamic_cast<PaintedRowsAccessible *>(QAccessible::queryAccessibleInterface(&view));
    QAccessibleInterface *row = rows ? rows->rowInterface(index) : nullptr;
    if (!row)
        return;
    QAccessibleEvent described(row, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
    for (int button = 0; button < row->childCount(); ++button) {
        QAccessibleEvent named(row->child(button), QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
}

PaintedRowsAccessible::PaintedRowsAccessible(QAbstractItemView &view)
    : QAccessibleWidget(&view) {}

PaintedRowsAccessible::~PaintedRowsAccessible() {
    for (const QAccessible::Id id : std::as_const(m_rows))
        QAccessible::deleteAccessibleInterface(id);
}

QAbstractItemView &PaintedRowsAccessible::view() const {
    return *static_cast<QAbstractItemView *>(widget());
}

PaintedButtonDelegate *PaintedRowsAccessible::delegate() const {
    return qobject_cast<PaintedButtonDelegate *>(view().itemDelegate());
}

QAccessible::Role PaintedRowsAccessible::role() const {
    // A list of rows, as app stores show their apps; a bundle's row says whether it is expanded. (Qt's AT-SPI
    // bridge would give a tree's items the role of a table cell.)
    return QAccessible::List;
}

QModelIndex PaintedRowsAccessible::rowAt(int number) const {
    int counted = 0;
    return walkRows(view(), {}, counted, [number](const QModelIndex &, int at) { return at == number; });
}

int PaintedRowsAccessible::rowNumber(const QModelIndex &row) const {
    int counted = 0;
    const QModelIndex found =
        walkRows(view(), {}, counted, [&row](const QModelIndex &index, int) { return index == row; });
    return found.isValid() ? counted : -1;
}

int PaintedRowsAccessible::childCount() const {
    int counted = 0;
    walkRows(view(), {}, counted, [](const QModelIndex &, int) { return false; });
    return counted;
}

QAccessibleInterface *PaintedRowsAccessible::child(int index) const {
    return index < 0 ? nullptr : rowInterface(rowAt(index));
}

int PaintedRowsAccessible::indexOfChild(const QAccessibleInterface *child) const {
    const auto *row = dynamic_cast<const PaintedRowAccessible *>(child);
    return row ? rowNumber(row->row()) : -1;
}

QAccessibleInterface *PaintedRowsAccessible::childAt(int x, int y) const {
    const QPoint position = view().viewport()->mapFromGlobal(QPoint(x, y));
    return view().viewport()->rect().contains(position) ? rowInterface(view().indexAt(position)) : nullptr;
}

QAccessibleInterface *PaintedRowsAccessible::focusChild() const {
    return view().hasFocus() ? rowInterface(view().currentIndex()) : nullptr;
}

QAccessibleInterface *PaintedRowsAccessible::rowInterface(const QModelIndex &index) const {
    const QModelIndex row = index.siblingAtColumn(0);
    if (!row.isValid() || row.model() != view().model())
        return nullptr;
    const quint64 key = placeKey(row);
    if (const auto found = m_rows.constFind(key); found != m_rows.cend()) {
        auto *existing = static_cast<PaintedRowAccessible *>(QAccessible::accessibleInterface(*found));
        if (existing && existing->row() == row)
            return existing;
        QAccessible::deleteAccessibleInterface(*found);
    }
    auto *made = new PaintedRowAccessible(view(), row);
    m_rows.insert(key, QAccessible::registerAccessibleInterface(made));
    return made;
}

} // namespace klv::ui
