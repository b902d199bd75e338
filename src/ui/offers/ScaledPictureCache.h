#pragma once

#include "library/OutlineViewItem.h"

#include <QCache>
#include <QImage>
#include <QPixmap>
#include <QSet>

namespace klv {
class ProductImages;
}

namespace klv::ui {

// Product pictures scaled for one row size, bounded in bytes, so scrolling never reads or scales a picture twice.
// A product without a picture is asked for once; ProductImages tells when it arrives.
class ScaledPictureCache final {
public:
    ScaledPictureCache(ProductImages &images, int side);

    // Null while there is none to show.
    QPixmap picture(const OutlineViewItem &record, qreal devicePixelRatio);
    // A picture arrived; true when the rows are worth repainting.
    bool pictureArrived(qint64 productId, const QImage &cropped);

private:
    ProductImages &m_images;
    int m_side;
    QCache<qint64, QPixmap> m_pictures;
    QSet<qint64> m_asked;
};

} // namespace klv::ui
