#pragma once

#include <QList>
#include <QString>
#include <QTreeView>

#include <optional>

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
    // A row by its product, which outlives a reload of the model.
    struct RowKey {
        QString name;
        qint64 id = 0;
        bool operator==(const RowKey &) const = default;
    };
    std::optional<RowKey> keyOf(const QModelIndex &index) const;
    QModelIndex rowOf(const RowKey &key, const std::optional<RowKey> &group) const;
    // A reload of the library (a job's start or end, the filter) keeps the expanded groups, the keyboard's row
    // and the scroll position.
    void rememberRows();
    void restoreRows();
    void layOutColumns();
    void pressButton(const QModelIndex &index, int zone);
    void requestOptionMenu(const QModelIndex &action);

    LibraryModel &m_model;
    LibraryRowDelegate *m_delegate;
    QString m_emptyText;
    QList<RowKey> m_expandedGroups;
    std::optional<RowKey> m_currentRow;
    std::optional<RowKey> m_currentGroup;
    int m_currentColumn = 0;
    int m_scrolledTo = 0;
};

} // namespace klv::ui
