#include "offers/RewardTierDelegate.h"

#include "offers/RewardTierModel.h"
#include "style/FocusRing.h"
#include "style/Theme.h"

#include <QAbstractItemView>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {
// The column headings above the table start at these offsets; the texts line up under them.
constexpr int thresholdInset = 17;
constexpr int copyIconSide = 22;
constexpr int copyButtonSide = 36;
// The coupon's code stands right of the reward and its state.
constexpr int couponLeft = 170;
constexpr int couponHeight = 28;
constexpr int couponPadding = 10;
} // namespace

RewardTierDelegate::RewardTierDelegate(const RewardTierModel &model, QAbstractItemView &view, QObject *parent)
    : PaintedButtonDelegate(view, parent)
    , m_model(model)
    , m_view(view)
    , m_copyIcon(u":/icons/copy.svg"_s) {}

QColor RewardTierDelegate::toneColor(RewardTier::Tone tone) {
    switch (tone) {
    case RewardTier::Tone::orange:
        return theme::color(NamedColor::rewardStateOrange);
    case RewardTier::Tone::green:
        return theme::color(NamedColor::rewardStateGreen);
    case RewardTier::Tone::plain:
        break;
    }
    return theme::color(NamedColor::rewardTierText);
}

QSize RewardTierDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight};
}

QList<PaintedButtonDelegate::Zone> RewardTierDelegate::zones(const QRect &cell, const QModelIndex &index) const {
    const RewardTier *tier = m_model.tier(index);
    if (index.column() != RewardTierModel::copyColumn || !tier || !tier->showsCopyIcon)
        return {};
    return {{copyZone, copyButtonRect(cell)}};
}

PaintedButtonDelegate::ZoneText RewardTierDelegate::zoneText(const QModelIndex &index, int) const {
    const RewardTier *tier = m_model.tier(index);
    const bool copied = tier && index.row() == m_copiedRow;
    return {tr("Copy coupon"), copied ? tr("Copied") : (tier ? tier->coupon : QString()), true};
}

void RewardTierDelegate::showCopied(int row) {
    m_copiedRow = row;
    m_view.viewport()->update();
}

void RewardTierDelegate::clearCopied() {
    m_copiedRow = -1;
    m_view.viewport()->update();
}

QRect RewardTierDelegate::copyButtonRect(const QRect &cell) {
    return {cell.left() + 4, cell.center().y() - copyButtonSide / 2, copyButtonSide, copyButtonSide};
}

void RewardTierDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    const RewardTier *tier = m_model.tier(index);
    if (!tier)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect cell = option.rect;
    painter->setPen(theme::color(NamedColor::separator));
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    painter->setFont(option.font);
    switch (index.column()) {
    case RewardTierModel::thresholdColumn: {
        painter->setFont(theme::font(NamedFont::paintedTitle, option.font));
        painter->setPen(theme::color(NamedColor::rewardTierText));
        painter->drawText(cell.adjusted(thresholdInset, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          QString::number(tier->threshold));
        break;
    }
    case RewardTierModel::rewardColumn:
        paintReward(*painter, cell, *tier, index.row() == m_copiedRow);
        break;
    case RewardTierModel::copyColumn:
        if (tier->showsCopyIcon)
            paintCopyIcon(*painter, cell, index);
        break;
    default:
        break;
    }
    painter->restore();
}

void RewardTierDelegate::paintReward(QPainter &painter, const QRect &cell, const RewardTier &tier, bool copied) const {
    const QFont base = painter.font();
    const QFont title = theme::font(NamedFont::paintedTitle, base);
    const QFontMetrics titleMetrics(title);
    const QFontMetrics stateMetrics(base);
    const int top = cell.center().y() - (titleMetrics.height() + 2 + stateMetrics.height()) / 2;
    painter.setFont(title);
    painter.setPen(theme::color(NamedColor::rewardTierText));
    painter.drawText(QRect(cell.left(), top, cell.width(), titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     tier.reward);
    painter.setFont(base);
    painter.setPen(toneColor(tier.tone));
    painter.drawText(QRect(cell.left(), top + titleMetrics.height() + 2, cell.width(), stateMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, tier.state);
    if (tier.coupon.isEmpty())
        return;
    // The code the banner asks for at the checkout, in a dashed box like a printed coupon.
    const int textWidth =
        qMax(titleMetrics.horizontalAdvance(tier.reward), stateMetrics.horizontalAdvance(tier.state)) + 24;
    const QRect code(cell.left() + qMax(couponLeft, textWidth), cell.center().y() - couponHeight / 2,
                     stateMetrics.horizontalAdvance(tier.coupon) + 2 * couponPadding, couponHeight);
    painter.setPen(QPen(theme::color(NamedColor::outlineOptionButton), 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(code).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.setPen(theme::color(tier.showsCopyIcon ? NamedColor::textPrimary : NamedColor::textSecondary));
    painter.drawText(code, Qt::AlignCenter, tier.coupon);
    if (copied) {
        painter.setPen(theme::color(NamedColor::accent));
        painter.drawText(QRect(code.right() + 12, code.top(), cell.right() - code.right() - 12, code.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, tr("Copied"));
    }
}

void RewardTierDelegate::paintCopyIcon(QPainter &painter, const QRect &cell, const QModelIndex &index) const {
    const QRectF button = copyButtonRect(cell);
    const bool pressed = isPressed(index, copyZone);
    if (pressed || isHovered(index, copyZone)) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(theme::color(NamedColor::accountSettingSectionBG).lighter(pressed ? 90 : 130));
        painter.drawRoundedRect(button, 8, 8);
    }
    const QPointF centre = button.center();
    m_copyIcon.paint(
        painter, QRectF(centre.x() - copyIconSide / 2.0, centre.y() - copyIconSide / 2.0, copyIconSide, copyIconSide));
    if (hasKeyboardFocus(index))
        drawFocusRing(painter, button, 8);
}

} // namespace klv::ui
