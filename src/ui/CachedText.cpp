#include "CachedText.h"

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
    QStaticText *laidOut = m_laidOut.object(key);
    if (!laidOut) {
        const QString shown = width < 0 ? text : QFontMetricsF(font).elidedText(text, elide, width);
        laidOut = new QStaticText(shown);
        laidOut->setTextFormat(Qt::PlainText);
        laidOut->setPerformanceHint(QStaticText::AggressiveCaching);
        laidOut->prepare(QTransform(), font);
        m_laidOut.insert(std::move(key), laidOut);
    }
    const QSizeF size = laidOut->size();
    qreal x = area.left();
    if (alignment.testFlag(Qt::AlignHCenter))
        x = area.left() + (area.width() - size.width()) / 2;
    else if (alignment.testFlag(Qt::AlignRight))
        x = area.right() - size.width();
    const qreal y = area.top() + (area.height() - QFontMetricsF(font).height()) / 2;
    painter.drawStaticText(QPointF(x, y), *laidOut);
}

} // namespace klv::ui
