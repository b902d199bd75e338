#include "offers/RewardTierModel.h"

#include "marketing/Rewards.h"

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
    if (!row || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    switch (index.column()) {
    case thresholdColumn:
        return QString::number(row->threshold);
    case rewardColumn:
        return role == Qt::DisplayRole ? row->reward : QString(row->reward + u", "_s + row->state);
    default:
        if (!row->showsCopyIcon)
            return {};
        return role == Qt::DisplayRole ? u"Copy"_s : u"Copy the reward of tier %1"_s.arg(row->tier);
    }
}

Qt::ItemFlags RewardTierModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

} // namespace klv::ui
