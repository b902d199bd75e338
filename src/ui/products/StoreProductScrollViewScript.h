#pragma once

#include <QTreeView>

namespace klv::ui {

class LibraryModel;
class LibraryRowDelegate;

// The library outline: one row per displayed product and, under an expanded group, its members. Rows are never
// selected; the keyboard moves between them, Enter presses the row's product button, the menu key opens its
// option menu, and + / - expand and collapse a group.
class StoreProductScrollViewScript final : public QTreeView {
    Q_OBJECT
public:
    explicit StoreProductScrollViewScript(LibraryModel &model, QWidget *parent = nullptr);

    LibraryRowDelegate &rowDelegate() const { return *m_delegate; }
    // What the empty outline says, e.g. that no product matches the search.
    void setEmptyText(const QString &text);

Q_SIGNALS:
    void productButtonClicked(const QModelIndex &index);
    void optionMenuRequested(const QModelIndex &index, const QRect &globalButton);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void layOutColumns();
    void pressButton(const QModelIndex &index, int zone);
    void requestOptionMenu(const QModelIndex &action);

    LibraryModel &m_model;
    LibraryRowDelegate *m_delegate;
    QString m_emptyText;
};

} // namespace klv::ui
