#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class QAbstractItemView;

namespace klv::ui {

// A row delegate with one painted button per row: it follows the mouse over the button, presses it and reports a
// click. Subclasses paint the cells and say where a row's button lies, if it has one.
class PaintedButtonDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    PaintedButtonDelegate(QAbstractItemView &view, int buttonColumn, QObject *parent = nullptr);

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    // The button's rectangle inside the cell of the button's column; empty when the row has no button.
    virtual QRect buttonRect(const QRect &cell, const QModelIndex &index) const = 0;
    int buttonColumn() const { return m_buttonColumn; }
    // The mouse left the view: no button stays lit.
    void clearHover();

Q_SIGNALS:
    void buttonClicked(const QModelIndex &index);

protected:
    bool isHovered(const QModelIndex &index) const { return m_hoverIndex == index; }
    bool isPressed(const QModelIndex &index) const { return m_pressIndex == index; }
    // The row the keyboard is on, while the view has the focus: its button shows the focus ring.
    bool hasKeyboardFocus(const QModelIndex &index) const;
    QAbstractItemView &view() const { return m_view; }

private:
    bool hits(const QStyleOptionViewItem &option, const QModelIndex &index, const QPoint &position) const;
    void setHover(const QModelIndex &index);

    QAbstractItemView &m_view;
    int m_buttonColumn;
    QPersistentModelIndex m_hoverIndex;
    QPersistentModelIndex m_pressIndex;
};

} // namespace klv::ui
