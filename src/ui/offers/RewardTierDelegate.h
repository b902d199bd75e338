#pragma once

#include "controls/PaintedButtonDelegate.h"
#include "marketing/RewardTier.h"
#include "style/SvgIcon.h"

namespace klv::ui {

class RewardTierModel;

// Paints a tier's row — the spending threshold, the reward and its coupon's code over its state in the state's
// colour, and the copy icon where a coupon can be taken — without a widget per row.
class RewardTierDelegate final : public PaintedButtonDelegate {
    Q_OBJECT
public:
    static constexpr int rowHeight = 60;
    static constexpr int copyZone = 0;

    RewardTierDelegate(const RewardTierModel &model, QAbstractItemView &view, QObject *parent = nullptr);

    // The system's orange and green, in which the state line is drawn.
    static QColor toneColor(RewardTier::Tone tone);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QList<Zone> zones(const QRect &cell, const QModelIndex &index) const override;
    ZoneText zoneText(const QModelIndex &index, int zone) const override;
    // Says "Copied" beside the row's coupon until clearCopied.
    void showCopied(int row);
    void clearCopied();

private:
    static QRect copyButtonRect(const QRect &cell);
    void paintReward(QPainter &painter, const QRect &cell, const RewardTier &tier, bool copied) const;
    void paintCopyIcon(QPainter &painter, const QRect &cell, const QModelIndex &index) const;

    const RewardTierModel &m_model;
    QAbstractItemView &m_view;
    SvgIcon m_copyIcon;
    int m_copiedRow = -1;
};

} // namespace klv::ui
