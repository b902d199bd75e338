#pragma once

#include "controls/PaintedButtonDelegate.h"
#include "controls/ProductButtonPainter.h"
#include "products/OptionButtonPainter.h"
#include "style/CachedText.h"
#include "style/SvgIcon.h"

#include <utility>
#include <vector>

class QTreeView;

namespace klv::ui {

class LibraryModel;

// Paints the library's rows — picture, name with sub-line and kind icons, the expand button of a group, the
// product button and the option button — and says where those buttons lie, so their clicks are reported. No widget
// exists per row, so thousands of rows scroll as fast as a few.
class LibraryRowDelegate final : public PaintedButtonDelegate {
    Q_OBJECT
public:
    static constexpr int rowHeight = 72;
    enum ButtonZone { expandZone, productZone, optionZone };

    LibraryRowDelegate(const LibraryModel &model, QTreeView &view, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QList<Zone> zones(const QRect &cell, const QModelIndex &index) const override;
    ZoneText zoneText(const QModelIndex &index, int zone) const override;
    // A name cut short shows whole in a tooltip.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // Where the painted buttons of a cell lie; the same geometry serves painting and hit tests.
    static QRect expandButtonRect(const QRect &nameCell);
    static QRect productButtonRect(const QRect &actionCell);
    static QRect optionButtonRect(const QRect &actionCell);

private:
    // Where the name and the sub-line are written in the name cell.
    QRect nameTextArea(const QRect &cell, const QModelIndex &index) const;
    void paintPicture(QPainter &painter, const QRect &cell, const QModelIndex &index) const;
    void paintName(QPainter &painter, const QRect &cell, const QModelIndex &index) const;
    void paintAction(QPainter &painter, const QRect &cell, const QModelIndex &index) const;
    void paintExpandButton(QPainter &painter, const QRect &button, bool expanded, bool hovered) const;

    const LibraryModel &m_model;
    QTreeView &m_view;
    CachedText m_texts;
    // Lit and unlit, in the order the kinds are shown.
    std::vector<std::pair<SvgIcon, SvgIcon>> m_kindIcons;
    ProductButtonPainter m_buttonPainter;
    OptionButtonPainter m_optionPainter;
};

} // namespace klv::ui
