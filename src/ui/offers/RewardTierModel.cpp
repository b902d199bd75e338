#include "offers/RewardTierModel.h"

#include "marketing/Rewards.h"

#include <array>

using namespace Qt::StringLiterals;

namespace klv::ui {

RewardTierModel::RewardTierModel(const Rewards &rewards, QObject *parent)
    : QAbstractTableModel(parent)
    , m_rewards(rewards)
    , m_tiers(rewards.tiers()) {}

void RewardTierModel::reload() {
    beginResetModel();
    m_tiers = m_rewards.tiers();
    endResetModel();
}

const RewardTier *RewardTierModel::tier(const QModelIndex &index) const {
    if (!index.isValid() || index.row() >= m_tiers.size())
        return nullptr;
    return &m_tiers.at(index.row());
}

int RewardTierModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_tiers.size());
}

int RewardTierModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : columns;
}

QVariant RewardTierModel::data(const QModelIndex &index, int role) const {
    const RewardTier *row = tier(index);
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == thresholdColumn)
            return QString::number(row->threshold);
        return index.column() == rewardColumn ? QVariant(row->reward) : QVariant();
    case Qt::AccessibleTextRole:
        return index.column() == rewardColumn ? QVariant(tr("Tier %1: %2").arg(row->tier).arg(row->reward))
                                              : QVariant();
    case Qt::AccessibleDescriptionRole: {
        if (index.column() != rewardColumn)
            return {};
        QStringList spoken{tr("for spending more than $%1").arg(row->threshold), row->state};
        if (!row->coupon.isEmpty())
            spoken.append(tr("coupon %1").arg(row->coupon));
        return spoken.join(u", "_s);
    }
    default:
        return {};
    }
}

QVariant RewardTierModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    static const std::array<QString, columns> titles{tr("Spent"), tr("Reward"), tr("Copy")};
    return section >= 0 && section < columns ? QVariant(titles.at(std::size_t(section))) : QVariant();
}

Qt::ItemFlags RewardTierModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

} // namespace klv::ui
