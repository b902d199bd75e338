#include "style/CachedText.h"

#include <QFontMetricsF>
#include <QPainter>

namespace klv::ui {

void CachedText::draw(QPainter &painter, const QRectF &area, Qt::Alignment alignment, const QString &text,
                      Qt::TextElideMode elide) const {
    if (text.isEmpty())
        return;
    const QFont &font = painter.font();
    const int width = elide == Qt::ElideNone ? -1 : qFloor(area.width());
    Key key{font, text, width};
    LaidOut *laidOut = m_laidOut.object(key);
    if (!laidOut) {
        const QFontMetricsF metrics(font);
        laidOut = new LaidOut{QStaticText(width < 0 ? text : metrics.elidedText(text, elide, width)), metrics.height()};
        laidOut->text.setTextFormat(Qt::PlainText);
        laidOut->text.setPerformanceHint(QStaticText::AggressiveCaching);
        laidOut->text.prepare(QTransform(), font);
        m_laidOut.insert(std::move(key), laidOut);
    }
    const QSizeF size = laidOut->text.size();
    qreal x = area.left();
    if (alignment.testFlag(Qt::AlignHCenter))
        x = area.left() + (area.width() - size.width()) / 2;
    else if (alignment.testFlag(Qt::AlignRight))
        x = area.right() - size.width();
    const qreal y = area.top() + (area.height() - laidOut->lineHeight) / 2;
    painter.drawStaticText(QPointF(x, y), laidOut->text);
}

} // namespace klv::ui
