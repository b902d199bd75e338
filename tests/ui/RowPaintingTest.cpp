#include "products/PictureLoader.h"
#include "style/CachedRoundedBox.h"
#include "style/CachedText.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace klv::ui;

namespace {

using namespace Qt::StringLiterals;

QImage canvas(qreal ratio) {
    QImage image(QSize(120, 60) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    return image;
}

// The largest difference of one channel between two images of one size.
int largestDifference(const QImage &a, const QImage &b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            largest = std::max({largest, qAbs(p.red() - q.red()), qAbs(p.green() - q.green()),
                                qAbs(p.blue() - q.blue()), qAbs(p.alpha() - q.alpha())});
        }
    }
    return largest;
}

// The right-most column that holds a lit pixel, in device pixels.
int rightmostInk(const QImage &image) {
    for (int x = image.width() - 1; x >= 0; --x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qGray(image.pixel(x, y)) > 40)
                return x;
        }
    }
    return -1;
}

} // namespace

TEST(RowPaintingTest, AKeptRoundedBoxLooksLikeOneDrawnDirectlyWhereverItSits) {
    const QColor fill(40, 90, 200);
    const QColor border(230, 230, 240);
    // Whole, half-pixel and odd-width boxes, at 1× and 2×, under a translated painter; each twice, so the second
    // comes from the kept image.
    for (const qreal ratio : {1.0, 2.0}) {
        for (const QRectF box : {QRectF(10, 10, 80, 30), QRectF(10.5, 10.5, 79, 29), QRectF(7.25, 9.75, 61.5, 33)}) {
            QImage direct = canvas(ratio);
            {
                QPainter painter(&direct);
                painter.translate(3, 2);
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setBrush(fill);
                painter.setPen(QPen(border, 1.5));
                painter.drawRoundedRect(box, 8, 8);
            }
            for (int round = 0; round < 2; ++round) {
                QImage kept = canvas(ratio);
                QPainter painter(&kept);
                painter.translate(3, 2);
                CachedRoundedBox::draw(painter, box, 8, fill, border, 1.5);
                painter.end();
                EXPECT_LE(largestDifference(direct, kept), 2) << ratio << " " << box.x() << " round " << round;
            }
        }
    }
}

TEST(RowPaintingTest, KeptTextsFollowTheFontAndStayWithinTheirWidthWhenElided) {
    const CachedText texts;
    const QString name = u"Cinematic Transitions Collection Volume Two"_s;
    QFont small;
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(18);

    const auto drawn = [&texts, &name](const QFont &font, qreal width) {
        QImage image = canvas(1.0);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::white);
        texts.draw(painter, QRectF(0, 0, width, 60), Qt::AlignLeft, name, Qt::ElideRight);
        return image;
    };
    // The same text in another font is laid out anew, not taken from what the first font kept.
    const QImage first = drawn(small, 120);
    const QImage second = drawn(large, 120);
    EXPECT_GT(largestDifference(first, second), 100);
    EXPECT_EQ(largestDifference(drawn(small, 120), first), 0);

    // Elided to each width, never past it.
    for (const qreal width : {40.0, 70.0, 100.0})
        EXPECT_LT(rightmostInk(drawn(large, width)), width) << width;
}

TEST(RowPaintingTest, PicturesAreCroppedToTheirMiddleSquareWithRoundedCorners) {
    // A wide picture: red at both ends, green in the middle.
    QImage wide(300, 100, QImage::Format_RGB32);
    wide.fill(Qt::red);
    for (int x = 100; x < 200; ++x)
        for (int y = 0; y < 100; ++y)
            wide.setPixelColor(x, y, Qt::green);

    const QImage rounded = PictureLoader::roundedSquare(wide, 48, 8);
    ASSERT_EQ(rounded.size(), QSize(48, 48));
    EXPECT_EQ(rounded.pixelColor(24, 24), QColor(Qt::green));
    EXPECT_EQ(rounded.pixelColor(1, 24), QColor(Qt::green));
    EXPECT_EQ(rounded.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(rounded.pixelColor(47, 47).alpha(), 0);
    EXPECT_TRUE(PictureLoader::roundedSquare(QImage(), 48, 8).isNull());
}
