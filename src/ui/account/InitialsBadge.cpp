#include "account/InitialsBadge.h"

#include "style/Theme.h"

#include <QPainter>

namespace klv::ui {

InitialsBadge::InitialsBadge(QWidget *parent)
    : QWidget(parent) {
    setFixedSize(56, 56);
}

void InitialsBadge::setName(const QString &name) {
    const QStringList words = name.split(u' ', Qt::SkipEmptyParts);
    letters.clear();
    for (const QString &word : words.first(qMin(words.size(), qsizetype(2)))) {
        // A letter outside the basic plane takes two UTF-16 units.
        const qsizetype length = word.front().isHighSurrogate() && word.size() > 1 ? 2 : 1;
        letters += word.first(length).toUpper();
    }
    update();
}

void InitialsBadge::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, width(), height());
    fill.setColorAt(0, theme::color(NamedColor::backgroundPrimaryButtonHover));
    fill.setColorAt(1, theme::color(NamedColor::backgroundPrimaryButtonActive));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(rect()));
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(theme::color(NamedColor::textPrimaryButtonDefault));
    painter.drawText(rect(), Qt::AlignCenter, letters);
}

} // namespace klv::ui
