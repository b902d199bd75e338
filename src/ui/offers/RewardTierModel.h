#pragma once

#include "marketing/RewardTier.h"

#include <QAbstractTableModel>
#include <QList>

namespace klv {
class Rewards;
}

namespace klv::ui {

// The ten rows of the rewards section, one tier each, as the core describes them; painted by RewardTierDelegate.
class RewardTierModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { thresholdColumn, rewardColumn, copyColumn };
    static constexpr int columns = 3;

    explicit RewardTierModel(const Rewards &rewards, QObject *parent = nullptr);

    // Reads the tiers again from the core.
    void reload();
    // Null for a row that does not exist.
    const RewardTier *tier(const QModelIndex &index) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    // The reward cell speaks for the row: the tier and its reward, described by its threshold, state and coupon.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    const Rewards &m_rewards;
    QList<RewardTier> m_tiers;
};

} // namespace klv::ui
