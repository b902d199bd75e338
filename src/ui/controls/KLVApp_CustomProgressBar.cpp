#include "controls/KLVApp_CustomProgressBar.h"

#include "style/Theme.h"

#include <QPainter>

#include <algorithm>

namespace klv::ui {

namespace {

constexpr qreal copyColumnInset = 96;
constexpr qreal headingHeight = 22;

} // namespace

KLVApp_CustomProgressBar::KLVApp_CustomProgressBar(QWidget *parent)
    : QWidget(parent) {
    setAccessibleName(tr("Rewards progress"));
    describeValue();
}

void KLVApp_CustomProgressBar::setCurValue(double value) {
    current = value;
    describeValue();
    update();
}

void KLVApp_CustomProgressBar::setMaxValue(double value) {
    maximum = value;
    describeValue();
    update();
}

void KLVApp_CustomProgressBar::setLineWidth(qreal lineWidth) {
    lineThickness = lineWidth;
    update();
}

void KLVApp_CustomProgressBar::setPadding(qreal padding) {
    leftPadding = padding;
    update();
}

void KLVApp_CustomProgressBar::setLineHeight(qreal lineHeight) {
    lineY = lineHeight;
    update();
}

qreal KLVApp_CustomProgressBar::fillStart() const {
    return leftPadding + lineThickness;
}

qreal KLVApp_CustomProgressBar::fillEnd() const {
    // Measured from the left edge; a share outside 0..1 (or no maximum) must not draw past either end of the track.
    const double share = maximum > 0 ? std::clamp(current / maximum, 0.0, 1.0) : 0.0;
    return (width() - 2 * lineThickness) * share;
}

void KLVApp_CustomProgressBar::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal trackEnd = width() - 2 * lineThickness;
    painter.setPen(QPen(theme::color(NamedColor::rewardsProgressTrack), lineThickness, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(fillStart(), lineY), QPointF(trackEnd, lineY));
    // A fill that would end left of its start would be drawn backwards, outside the track.
    if (fillEnd() > fillStart()) {
        painter.setPen(QPen(theme::color(NamedColor::rewardsProgressFill), lineThickness, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(fillStart(), lineY), QPointF(fillEnd(), lineY));
    }

    // The headings sit at the bottom, right over the columns they name.
    painter.setPen(theme::color(NamedColor::rewardTierText));
    const qreal top = height() - headingHeight;
    const auto heading = [&painter, top](qreal left, qreal width, const QString &text) {
        painter.drawText(QRectF(left, top, width, headingHeight), Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
                         text);
    };
    heading(17, 50, QStringLiteral("TIER"));
    heading(120, 150, QStringLiteral("COUPON CODE"));
    // A bar narrower than the table it was drawn for keeps its last heading over the copy column, not past the edge.
    heading(std::min<qreal>(880, width() - copyColumnInset), 50, QStringLiteral("COPY"));
}

void KLVApp_CustomProgressBar::describeValue() {
    setAccessibleDescription(tr("%1 of %2").arg(current).arg(maximum));
}

} // namespace klv::ui
