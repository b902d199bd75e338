#pragma once

#include <QList>
#include <QTableView>

namespace klv::ui {

class PaintedButtonDelegate;

// The one table of the sale, free and rewards sections: rows painted by the section's delegate, never selected.
// The keyboard moves between rows; Enter or Space presses the row's painted button.
class MarketingTableView final : public QTableView {
    Q_OBJECT
public:
    explicit MarketingTableView(QWidget *parent = nullptr);

    // Shows a section's rows. columnWidths holds one width per column, 0 for the one that takes the rest.
    void showRows(QAbstractItemModel &model, PaintedButtonDelegate &delegate, int rowHeight,
                  const QList<int> &columnWidths);
    PaintedButtonDelegate *rowDelegate() const { return m_delegate; }
    // The rectangle of a row's painted button in the viewport; empty when it has none.
    QRect buttonRect(int row) const;

Q_SIGNALS:
    void buttonActivated(const QModelIndex &index);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void layOutColumns();

    PaintedButtonDelegate *m_delegate = nullptr;
    QList<int> m_columnWidths;
};

} // namespace klv::ui
