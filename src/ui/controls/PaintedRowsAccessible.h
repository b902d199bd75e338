#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QModelIndex>

class QAbstractItemView;

namespace klv::ui {

class PaintedButtonDelegate;

// What screen readers see of a view whose rows are painted by a PaintedButtonDelegate: a list of rows (an expanded
// row's children follow it), each named by its cells' accessible texts and holding the buttons painted into it,
// which they can press. Qt's own item
// view accessibility offers cells with nothing to press, and column headers even where none is shown.
class PaintedRowsAccessible final : public QAccessibleWidget {
public:
    // Makes the view's rows reach screen readers this way; called while the view is made, before it has a model.
    static void enable(QAbstractItemView &view);
    // Tells screen readers which row the keyboard is on, while the view has the focus.
    static void notifyCurrentRow(QAbstractItemView &view);
    // Tells screen readers that what a row says or offers changed.
    static void notifyRowChanged(QAbstractItemView &view, const QModelIndex &index);

    explicit PaintedRowsAccessible(QAbstractItemView &view);
    ~PaintedRowsAccessible() override;
    Q_DISABLE_COPY_MOVE(PaintedRowsAccessible)

    QAccessible::Role role() const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

    QAbstractItemView &view() const;
    // The delegate painting the rows now; null while the view shows none of ours.
    PaintedButtonDelegate *delegate() const;
    // The interface of the row holding `index`; null for a row the view does not show.
    QAccessibleInterface *rowInterface(const QModelIndex &index) const;

private:
    // The rows the view shows, in order: top-level rows and the children of expanded rows.
    QModelIndex rowAt(int number) const;
    int rowNumber(const QModelIndex &row) const;

    // Row interfaces by place; one whose row moved away is made again.
    mutable QHash<quint64, QAccessible::Id> m_rows;
};

} // namespace klv::ui
