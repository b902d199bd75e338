#pragma once

#include <QImage>
#include <QString>

namespace klv::storeservice {

// A product picture for the demo catalog, drawn rather than stored: a background whose hue tells the product's kind
// and the product's initials in block letters, centred where the app cuts its thumbnail out. Block letters need no
// fonts, so the build draws the same pictures on any machine.
class DemoPicture final {
public:
    // Drawn on a grid of size × size cells, each cell `scale` pixels wide: the app cuts a thumbnail of under half the
    // picture and shows it 300 points wide on the product page. Larger pictures would slow every row that decodes
    // one; the block letters stay crisp when enlarged twice.
    static constexpr int size = 120;
    static constexpr int scale = 6;

    static QImage draw(const QString &productName, const QString &location);
};

} // namespace klv::storeservice
