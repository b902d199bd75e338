#include "products/StoreProductScrollViewScript.h"

#include "controls/PaintedRowsAccessible.h"
#include "products/LibraryModel.h"
#include "products/LibraryRowDelegate.h"
#include "style/FormStyle.h"
#include "style/Theme.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace klv::ui {

namespace {
constexpr int pictureColumnWidth = 84;
constexpr int actionColumnWidth = 236;
} // namespace

StoreProductScrollViewScript::StoreProductScrollViewScript(LibraryModel &model, QWidget *parent)
    : QTreeView(parent)
    , m_model(model)
    , m_delegate(new LibraryRowDelegate(model, *this, this)) {
    PaintedRowsAccessible::enable(*this);
    setObjectName(QStringLiteral("productOLView"));
    setAccessibleName(tr("Your products"));
    setModel(&m_model);
    setItemDelegate(m_delegate);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setExpandsOnDoubleClick(false);
    setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(24);
    setScrollBarLook(*this);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Fixed);

    connect(m_delegate, &PaintedButtonDelegate::buttonClicked, this, &StoreProductScrollViewScript::pressButton);
    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, &StoreProductScrollViewScript::rememberRows);
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        restoreRows();
        viewport()->update();
    });
}

std::optional<StoreProductScrollViewScript::RowKey>
StoreProductScrollViewScript::keyOf(const QModelIndex &index) const {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return std::nullopt;
    return RowKey{record->product_name, record->product_id};
}

QModelIndex StoreProductScrollViewScript::rowOf(const RowKey &key, const std::optional<RowKey> &group) const {
    QModelIndex parent;
    if (group) {
        parent = rowOf(*group, std::nullopt);
        if (!parent.isValid())
            return {};
    }
    for (int row = 0; row < m_model.rowCount(parent); ++row) {
        const QModelIndex candidate = m_model.index(row, 0, parent);
        if (keyOf(candidate) == key)
            return candidate;
    }
    return {};
}

void StoreProductScrollViewScript::rememberRows() {
    m_expandedGroups.clear();
    for (int row = 0; row < m_model.rowCount(); ++row) {
        const QModelIndex group = m_model.index(row, 0);
        if (isExpanded(group)) {
            if (const std::optional<RowKey> key = keyOf(group))
                m_expandedGroups.append(*key);
        }
    }
    const QModelIndex current = currentIndex();
    m_currentRow = current.isValid() ? keyOf(current) : std::nullopt;
    m_currentGroup = current.parent().isValid() ? keyOf(current.parent()) : std::nullopt;
    m_currentColumn = current.column();
    m_scrolledTo = verticalScrollBar()->value();
}

void StoreProductScrollViewScript::restoreRows() {
    for (const RowKey &group : std::as_const(m_expandedGroups)) {
        if (const QModelIndex row = rowOf(group, std::nullopt); row.isValid())
            setExpanded(row, true);
    }
    if (m_currentRow) {
        if (const QModelIndex row = rowOf(*m_currentRow, m_currentGroup); row.isValid())
            selectionModel()->setCurrentIndex(row.siblingAtColumn(m_currentColumn), QItemSelectionModel::NoUpdate);
    }
    // The scroll range follows the rows once they are laid out.
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(m_scrolledTo);
    m_expandedGroups.clear();
    m_currentRow.reset();
}

void StoreProductScrollViewScript::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    // QTreeView's own announcement names a cell of its own accessibility, which this view does not use.
    QAbstractItemView::currentChanged(current, previous);
    // The keyboard's row is drawn across all its cells.
    viewport()->update();
    PaintedRowsAccessible::notifyCurrentRow(*this);
}

void StoreProductScrollViewScript::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                               const QList<int> &roles) {
    QTreeView::dataChanged(topLeft, bottomRight, roles);
    // A picture arriving changes nothing a screen reader says.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.parent() == topLeft.parent() && current.row() >= topLeft.row() &&
        current.row() <= bottomRight.row() && bottomRight.column() > LibraryModel::pictureColumn)
        PaintedRowsAccessible::notifyRowChanged(*this, current);
}

void StoreProductScrollViewScript::setEmptyText(const QString &text) {
    m_emptyText = text;
    viewport()->update();
}

void StoreProductScrollViewScript::resizeEvent(QResizeEvent *event) {
    QTreeView::resizeEvent(event);
    layOutColumns();
}

void StoreProductScrollViewScript::layOutColumns() {
    const int width = viewport()->width();
    setColumnWidth(LibraryModel::pictureColumn, pictureColumnWidth);
    setColumnWidth(LibraryModel::actionColumn, actionColumnWidth);
    setColumnWidth(LibraryModel::nameColumn, qMax(120, width - pictureColumnWidth - actionColumnWidth));
}

void StoreProductScrollViewScript::keyPressEvent(QKeyEvent *event) {
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        const QModelIndex action = current.siblingAtColumn(LibraryModel::actionColumn);
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            Q_EMIT productButtonClicked(action);
            return;
        case Qt::Key_Menu:
            requestOptionMenu(action);
            return;
        default:
            break;
        }
    }
    QTreeView::keyPressEvent(event);
}

void StoreProductScrollViewScript::pressButton(const QModelIndex &index, int zone) {
    switch (zone) {
    case LibraryRowDelegate::expandZone: {
        const QModelIndex row = index.siblingAtColumn(0);
        setExpanded(row, !isExpanded(row));
        break;
    }
    case LibraryRowDelegate::productZone:
        Q_EMIT productButtonClicked(index);
        break;
    case LibraryRowDelegate::optionZone:
        requestOptionMenu(index);
        break;
    default:
        break;
    }
}

void StoreProductScrollViewScript::requestOptionMenu(const QModelIndex &action) {
    const QRect button = LibraryRowDelegate::optionButtonRect(visualRect(action));
    Q_EMIT optionMenuRequested(action, QRect(viewport()->mapToGlobal(button.topLeft()), button.size()));
}

void StoreProductScrollViewScript::paintEvent(QPaintEvent *event) {
    QTreeView::paintEvent(event);
    if (m_model.rowCount() > 0 || m_emptyText.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(theme::color(NamedColor::textSecondary));
    painter.drawText(viewport()->rect().adjusted(40, 0, -40, -80), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
}

void StoreProductScrollViewScript::focusInEvent(QFocusEvent *event) {
    QTreeView::focusInEvent(event);
    // The keyboard's row shows as soon as the list has the focus, whichever way it came; a click picks its own.
    if (event->reason() != Qt::MouseFocusReason && !currentIndex().isValid() && m_model.rowCount() > 0)
        setCurrentIndex(m_model.index(0, LibraryModel::actionColumn));
    viewport()->update();
    // After the list's own announcement, the row it is on.
    QMetaObject::invokeMethod(
        this, [this] { PaintedRowsAccessible::notifyCurrentRow(*this); }, Qt::QueuedConnection);
}

void StoreProductScrollViewScript::focusOutEvent(QFocusEvent *event) {
    QTreeView::focusOutEvent(event);
    viewport()->update();
}

} // namespace klv::ui
