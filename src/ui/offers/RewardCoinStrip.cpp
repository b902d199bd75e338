#include "offers/RewardCoinStrip.h"

#include "style/Theme.h"

#include <QPainter>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {
constexpr int firstCoinX = 175;
constexpr int coinStep = 78;
constexpr int coinY = 10;
constexpr int needLineX = 20;
constexpr int rightMargin = 20;
constexpr int captionHeight = 18;
} // namespace

RewardCoinStrip::RewardCoinStrip(QWidget *parent)
    : QWidget(parent)
    , m_goldCoin(u":/icons/Gold Coin.svg"_s) {
    setObjectName(u"CoinHolder"_s);
    setMinimumHeight(coinY * 2 + coinSide + captionHeight + 6);
    describe();
}

void RewardCoinStrip::setGoldCoins(int count) {
    m_goldCoins = qBound(0, count, coinCount);
    describe();
    update();
}

void RewardCoinStrip::setNeedText(const QString &text) {
    m_needText = text;
    describe();
    update();
}

QRect RewardCoinStrip::coinRect(int i) const {
    const int room = (width() - firstCoinX - coinSide - rightMargin) / (coinCount - 1);
    const int step = qBound(coinSide + 4, room, coinStep);
    return {firstCoinX + step * i, coinY, coinSide, coinSide};
}

void RewardCoinStrip::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < coinCount; ++i) {
        const QRect coin = coinRect(i);
        if (i < m_goldCoins) {
            m_goldCoin.paint(painter, coin);
        } else {
            // A coin still to earn leaves its place marked, so the strip reads as ten steps.
            painter.setPen(QPen(theme::color(NamedColor::separator), 1.5, Qt::DashLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QRectF(coin).adjusted(3, 3, -3, -3));
        }
        // What each coin stands for.
        painter.setPen(theme::color(NamedColor::textSecondary));
        painter.drawText(QRect(coin.left() - 12, coin.bottom() + 6, coin.width() + 24, captionHeight), Qt::AlignCenter,
                         u"$"_s + QString::number(100 * (i + 1)));
    }
    painter.setFont(theme::font(NamedFont::paintedLargeTitle, painter.font()));
    painter.setPen(theme::color(NamedColor::rewardTierText));
    painter.drawText(QRect(needLineX, coinY, firstCoinX - needLineX - 12, coinSide), Qt::AlignLeft | Qt::AlignVCenter,
                     m_needText);
}

void RewardCoinStrip::describe() {
    setAccessibleName(tr("Reward coins"));
    setAccessibleDescription(tr("%1 of %2 coins, %3").arg(m_goldCoins).arg(coinCount).arg(m_needText));
}

} // namespace klv::ui
