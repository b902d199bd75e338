#pragma once

#include <QCache>
#include <QFont>
#include <QRectF>
#include <QStaticText>
#include <QString>

class QPainter;

namespace klv::ui {

// Single-line texts drawn from glyph runs laid out once and kept between paints: shaping every row's texts again on
// each frame is most of what repainting a list costs. Each painter of rows keeps its own.
class CachedText {
public:
    // The text in the painter's font and pen, aligned inside the area (left, right or horizontally centred;
    // always vertically centred) and, with an elide mode, shortened to the area's width.
    void draw(QPainter &painter, const QRectF &area, Qt::Alignment alignment, const QString &text,
              Qt::TextElideMode elide = Qt::ElideNone) const;

private:
    struct Key {
        QFont font;
        QString text;
        int width;
        bool operator==(const Key &) const = default;
        friend size_t qHash(const Key &key, size_t seed = 0) { return qHashMulti(seed, key.font, key.text, key.width); }
    };

    // The glyph run and the font's line height, which centres it vertically.
    struct LaidOut {
        QStaticText text;
        qreal lineHeight;
    };

    // About two screens of rows with their titles, sub-lines and button labels.
    static constexpr qsizetype keptTexts = 2000;
    mutable QCache<Key, LaidOut> m_laidOut{keptTexts};
};

} // namespace klv::ui
