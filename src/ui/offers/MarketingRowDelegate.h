#pragma once

#include "controls/PaintedButtonDelegate.h"

namespace klv::ui {

class MarketingProductModel;

// Paints a sale or free product's row — the rounded picture, the name over the short description, and the "View"
// button — without a widget per row.
class MarketingRowDelegate final : public PaintedButtonDelegate {
    Q_OBJECT
public:
    static constexpr int rowHeight = 100;
    static constexpr int viewZone = 0;

    MarketingRowDelegate(const MarketingProductModel &model, QAbstractItemView &view, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QList<Zone> zones(const QRect &cell, const QModelIndex &index) const override;
    ZoneText zoneText(const QModelIndex &index, int zone) const override;
    // A name cut short shows whole in a tooltip.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    static QString viewTitle();
    static QRect viewButtonRect(const QRect &cell);
    void paintPicture(QPainter &painter, const QRect &cell, const QModelIndex &index) const;
    void paintName(QPainter &painter, const QRect &cell, const QModelIndex &index) const;
    void paintViewButton(QPainter &painter, const QRect &cell, const QModelIndex &index) const;

    const MarketingProductModel &m_model;
};

} // namespace klv::ui
