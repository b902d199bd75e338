#pragma once

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QPersistentModelIndex>
#include <QPointer>

class QAbstractItemView;

namespace klv::ui {

class PaintedButtonDelegate;

// A button painted into a row's cell as screen readers see it: its words come from the row's delegate, and its one
// action presses it as a click does.
class PaintedButtonAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PaintedButtonAccessible(QAbstractItemView &view, const QModelIndex &cell, int zone);
    Q_DISABLE_COPY_MOVE(PaintedButtonAccessible)

    QPersistentModelIndex cell() const { return m_cell; }
    int zone() const { return m_zone; }

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
    void *interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    PaintedButtonDelegate *delegate() const;

    QPointer<QAbstractItemView> m_view;
    QPersistentModelIndex m_cell;
    int m_zone;
};

} // namespace klv::ui
