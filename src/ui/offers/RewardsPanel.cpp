#include "offers/RewardsPanel.h"

#include "controls/KLVApp_CustomProgressBar.h"
#include "controls/SvgImageView.h"
#include "marketing/Rewards.h"
#include "offers/RewardCoinStrip.h"

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {
constexpr int margin = 24;
constexpr int bannerTop = 20;
constexpr int bannerHeight = 180;
constexpr int stripTop = 236;
constexpr int stripHeight = 92;
// The bar closes the panel: its line, then the table's column headings, then the table.
constexpr int barHeight = 60;
} // namespace

RewardsPanel::RewardsPanel(const Rewards &rewards, QWidget *parent)
    : QWidget(parent)
    , m_rewards(rewards)
    , m_rewardsBanner(new SvgImageView(u":/icons/new-rewards-banner.svg"_s, this))
    , m_coinHolder(new RewardCoinStrip(this))
    , m_rewardsBackground(new KLVApp_CustomProgressBar(this)) {
    setObjectName(u"rewardsPanel"_s);
    setFixedHeight(panelHeight);
    m_rewardsBanner->setObjectName(u"rewardsBanner"_s);
    m_rewardsBanner->setAccessibleName(tr("Every $100 you spend earns $10 back"));
    m_rewardsBackground->setObjectName(u"rewardsBackground"_s);
    m_rewardsBackground->setMaxValue(Rewards::progressMaximum);
    refreshRewardsPanel();
}

void RewardsPanel::refreshRewardsPanel() {
    m_rewardsBackground->setCurValue(m_rewards.progressValue());
    m_rewardsBackground->setMaxValue(Rewards::progressMaximum);
    m_coinHolder->setGoldCoins(m_rewards.goldCoinCount());
    m_coinHolder->setNeedText(m_rewards.needText());
}

void RewardsPanel::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    const int w = width();
    m_rewardsBanner->setGeometry(margin, bannerTop, w - 2 * margin, bannerHeight);
    m_coinHolder->setGeometry(0, stripTop, w, stripHeight);
    m_rewardsBackground->setGeometry(0, panelHeight - barHeight, w, barHeight);
}

} // namespace klv::ui
