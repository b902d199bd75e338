#pragma once

#include "controls/ProductButtonPainter.h"
#include "library/ProductButtonState.h"
#include "products/OptionButtonPainter.h"
#include "style/CachedText.h"
#include "style/SvgIcon.h"

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

#include <utility>
#include <vector>

class QTreeView;

namespace klv::ui {

class LibraryModel;

// Paints the library's rows — picture, name with sub-line and kind icons, the expand button of a group, the
// product button and the option button — and turns clicks on those painted buttons into signals. No widget
// exists per row, so thousands of rows scroll as fast as a few.
class LibraryRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int rowHeight = 72;

    LibraryRowDelegate(const LibraryModel &model, QTreeView &view, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    // Where the painted buttons of a cell lie; the same geometry serves painting and hit tests.
    static QRect expandButtonRect(const QRect &nameCell);
    static QRect productButtonRect(const QRect &actionCell);
    static QRect optionButtonRect(const QRect &actionCell);
    // What the row's product button shows and whether it can be pressed.
    ProductButtonState buttonState(const QModelIndex &index) const;
    // The mouse left the view: no painted button stays lit.
    void clearHover();

Q_SIGNALS:
    void expandToggled(const QModelIndex &index);
    void productButtonClicked(const QModelIndex &index);
    // The option button's rectangle in the view's viewport, for placing the menu.
    void optionButtonClicked(const QModelIndex &index, const QRect &buttonRect);

private:
    enum class Part { none, expand, product, option };

    void paintPicture(QPainter &painter, const QRect &cell, const QModelIndex &index) const;
    void paintName(QPainter &painter, const QRect &cell, const QModelIndex &index) const;
    void paintAction(QPainter &painter, const QRect &cell, const QModelIndex &index) const;
    void paintExpandButton(QPainter &painter, const QRect &button, bool expanded, bool hovered) const;
    Part partAt(const QRect &cell, const QModelIndex &index, const QPoint &position) const;
    bool isHovered(const QModelIndex &index, Part part) const;
    void setHover(const QModelIndex &index, Part part);

    const LibraryModel &m_model;
    QTreeView &m_view;
    QPersistentModelIndex m_hoverIndex;
    Part m_hoverPart = Part::none;
    QPersistentModelIndex m_pressIndex;
    Part m_pressPart = Part::none;
    CachedText m_texts;
    // Lit and unlit, in the order the kinds are shown.
    std::vector<std::pair<SvgIcon, SvgIcon>> m_kindIcons;
    ProductButtonPainter m_buttonPainter;
    OptionButtonPainter m_optionPainter;
};

} // namespace klv::ui
