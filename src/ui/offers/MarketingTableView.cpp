#include "offers/MarketingTableView.h"

#include "controls/PaintedButtonDelegate.h"
#include "controls/PaintedRowsAccessible.h"
#include "style/FormStyle.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

#include <numeric>

namespace klv::ui {

MarketingTableView::MarketingTableView(QWidget *parent)
    : QTableView(parent) {
    PaintedRowsAccessible::enable(*this);
    setObjectName(QStringLiteral("tableView"));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(24);
    setScrollBarLook(*this);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setWordWrap(false);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
}

void MarketingTableView::showRows(QAbstractItemModel &model, PaintedButtonDelegate &delegate, int rowHeight,
                                  const QList<int> &columnWidths) {
    if (m_delegate && m_delegate != &delegate)
        m_delegate->reset();
    m_delegate = &delegate;
    m_columnWidths = columnWidths;
    // Rows take the height when they are made, so it is set before the model's rows are.
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    if (QTableView::model() != &model)
        setModel(&model);
    setItemDelegate(&delegate);
    layOutColumns();
    viewport()->update();
}

QRect MarketingTableView::buttonRect(int row) const {
    if (!model() || !m_delegate)
        return {};
    for (int column = 0; column < model()->columnCount(); ++column) {
        const QModelIndex index = model()->index(row, column);
        if (const QList<PaintedButtonDelegate::Zone> zones = m_delegate->zones(visualRect(index), index);
            !zones.isEmpty())
            return zones.constFirst().rect;
    }
    return {};
}

void MarketingTableView::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    // QTableView's own announcement names a cell of its own accessibility, which this view does not use.
    QAbstractItemView::currentChanged(current, previous);
    PaintedRowsAccessible::notifyCurrentRow(*this);
}

void MarketingTableView::focusInEvent(QFocusEvent *event) {
    QTableView::focusInEvent(event);
    // After the table's own announcement, the row it is on.
    QMetaObject::invokeMethod(
        this, [this] { PaintedRowsAccessible::notifyCurrentRow(*this); }, Qt::QueuedConnection);
}

void MarketingTableView::resizeEvent(QResizeEvent *event) {
    QTableView::resizeEvent(event);
    layOutColumns();
}

void MarketingTableView::layOutColumns() {
    const int fixed = std::accumulate(m_columnWidths.cbegin(), m_columnWidths.cend(), 0);
    for (int column = 0; column < m_columnWidths.size(); ++column) {
        const int width = m_columnWidths.at(column);
        setColumnWidth(column, width > 0 ? width : qMax(120, viewport()->width() - fixed));
    }
}

void MarketingTableView::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (currentIndex().isValid()) {
            Q_EMIT buttonActivated(currentIndex());
            return;
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

} // namespace klv::ui
