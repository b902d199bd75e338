#pragma once

#include <QAccessible>
#include <QHash>
#include <QPersistentModelIndex>
#include <QPointer>

class QAbstractItemView;

namespace klv::ui {

// One painted row as screen readers see it: named by the first accessible text among its cells, described by the
// first accessible description, and holding its painted buttons.
class PaintedRowAccessible final : public QAccessibleInterface {
public:
    PaintedRowAccessible(QAbstractItemView &view, const QModelIndex &row);
    ~PaintedRowAccessible() override;
    Q_DISABLE_COPY_MOVE(PaintedRowAccessible)

    // The row's first cell.
    QPersistentModelIndex row() const { return m_row; }

    bool isValid() const override;
    QObject *object() const override;
    QWindow *window() const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString &text) override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;

private:
    struct Button {
        int column;
        int zone;
    };
    // The buttons painted into the row's cells now, cell by cell.
    QList<Button> buttons() const;
    QAccessibleInterface *buttonInterface(const Button &button) const;

    QPointer<QAbstractItemView> m_view;
    QPersistentModelIndex m_row;
    mutable QHash<quint64, QAccessible::Id> m_buttons;
};

} // namespace klv::ui
