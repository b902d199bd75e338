#pragma once

#include <QWidget>

namespace klv {
class Rewards;
}

namespace klv::ui {

class KLVApp_CustomProgressBar;
class RewardCoinStrip;

// The top of the rewards section: the banner, the coin strip with the "need" line, and the progress bar towards
// 1000 dollars whose column headings stand over the tier table below.
class RewardsPanel final : public QWidget {
    Q_OBJECT
public:
    // The room the panel takes above the table.
    static constexpr int panelHeight = 440;

    explicit RewardsPanel(const Rewards &rewards, QWidget *parent = nullptr);

    // Coins, bar and need line from the core's values.
    void refreshRewardsPanel();
    RewardCoinStrip &coinStrip() const { return *m_coinHolder; }
    KLVApp_CustomProgressBar &progressBar() const { return *m_rewardsBackground; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    const Rewards &m_rewards;
    QWidget *m_rewardsBanner;
    RewardCoinStrip *m_coinHolder;
    KLVApp_CustomProgressBar *m_rewardsBackground;
};

} // namespace klv::ui
