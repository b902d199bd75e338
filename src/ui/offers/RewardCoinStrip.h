#pragma once

#include "style/SvgIcon.h"

#include <QWidget>

namespace klv::ui {

// The rewards coin strip: the "need" line, then ten coins, gold for every full 100 dollars spent, each over the
// spending it stands for.
class RewardCoinStrip final : public QWidget {
    Q_OBJECT
public:
    static constexpr int coinCount = 10;
    static constexpr int coinSide = 44;

    explicit RewardCoinStrip(QWidget *parent = nullptr);

    void setGoldCoins(int count);
    int goldCoins() const { return m_goldCoins; }
    void setNeedText(const QString &text);
    QString needText() const { return m_needText; }
    // Where coin i is drawn: 78 points apart from x = 175 as far as the strip is wide enough, closer otherwise.
    QRect coinRect(int i) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void describe();

    SvgIcon m_goldCoin;
    int m_goldCoins = 0;
    QString m_needText;
};

} // namespace klv::ui
