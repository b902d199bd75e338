#include "PixelProbe.h"
#include "controls/KLVApp_CustomProgressBar.h"
#include "controls/KLVApp_ProgressInstallation.h"
#include "style/Theme.h"

#include <QAccessible>
#include <QAccessibleValueInterface>

#include <gtest/gtest.h>

using namespace klv::ui;
using namespace klv::ui::test;

namespace {

const QColor rewardFill(254, 113, 102);
const QColor rewardTrack(49, 50, 53);

// The colour along the bar's centre line at x.
QColor rewardBarAt(const QImage &image, qreal x) {
    return pixelAt(image, QPointF(x, 14));
}

} // namespace

TEST(ProgressControlsTest, RewardsFillEndsAtItsShareOfTheWidthMeasuredFromTheLeftEdge) {
    KLVApp_CustomProgressBar bar;
    bar.resize(1000, 60);
    bar.setMaxValue(100);
    // Track from padding + line width (140) to W - 2 x line width (960); round caps reach 10 further out.
    bar.setCurValue(50);
    EXPECT_DOUBLE_EQ(bar.fillEnd(), 480);
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage half = renderWidget(bar, ratio);
        EXPECT_TRUE(near(rewardBarAt(half, 145), rewardFill)) << ratio;
        EXPECT_TRUE(near(rewardBarAt(half, 485), rewardFill)) << ratio;
        EXPECT_TRUE(near(rewardBarAt(half, 495), rewardTrack)) << ratio;
        EXPECT_TRUE(near(rewardBarAt(half, 955), rewardTrack)) << ratio;
        EXPECT_TRUE(near(rewardBarAt(half, 975), Qt::black)) << ratio;
    }

    bar.setCurValue(100);
    const QImage full = renderWidget(bar);
    EXPECT_TRUE(near(rewardBarAt(full, 955), rewardFill));

    // No progress, more than the maximum, or no maximum: never a fill outside the track.
    bar.setCurValue(0);
    EXPECT_FALSE(anyPixel(renderWidget(bar), bar.rect(), [](const QColor &c) { return near(c, rewardFill, 30); }));
    bar.setCurValue(10); // ends at 96, left of where the fill starts
    EXPECT_FALSE(anyPixel(renderWidget(bar), bar.rect(), [](const QColor &c) { return near(c, rewardFill, 30); }));
    bar.setCurValue(250);
    EXPECT_TRUE(near(rewardBarAt(renderWidget(bar), 975), Qt::black));
    bar.setMaxValue(0);
    EXPECT_FALSE(anyPixel(renderWidget(bar), bar.rect(), [](const QColor &c) { return near(c, rewardFill, 30); }));

    // The three column headings are drawn in their rectangles, under the line.
    const QImage headings = renderWidget(bar);
    const auto isText = [](const QColor &c) {
        return c.lightness() > 90;
    };
    for (const QRect &area : {QRect(17, 38, 50, 22), QRect(120, 38, 150, 22), QRect(880, 38, 50, 22)}) {
        EXPECT_TRUE(anyPixel(headings, area, isText));
    }
    EXPECT_FALSE(anyPixel(headings, QRect(300, 38, 500, 22), isText));
    EXPECT_FALSE(anyPixel(headings, QRect(0, 0, 130, 30), isText)) << "nothing over the line's left end";
}

TEST(ProgressControlsTest, InstallationBarShowsItsShareAndTellsScreenReadersTheWholePercent) {
    KLVApp_ProgressInstallation bar;
    bar.resize(200, 10);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::ProgressBar);
    ASSERT_NE(accessible->valueInterface(), nullptr);
    const auto percent = [accessible] {
        return accessible->valueInterface()->currentValue().toInt();
    };
    const QColor accent = theme::color(NamedColor::accent);
    const QColor track(21, 22, 33);

    bar.setCurrentValue(0.42);
    EXPECT_EQ(percent(), 42);
    QImage drawn = renderWidget(bar, 2);
    EXPECT_TRUE(near(pixelAt(drawn, {70, 5}), accent));
    EXPECT_TRUE(near(pixelAt(drawn, {100, 5}), track));

    // 99.9 % is not yet done.
    bar.setCurrentValue(0.999);
    EXPECT_EQ(percent(), 99);
    bar.setMaxValue(2);
    bar.setCurrentValue(1);
    EXPECT_EQ(percent(), 50);
    bar.setCurrentValue(3);
    EXPECT_EQ(percent(), 100);
    bar.setMaxValue(0);
    EXPECT_EQ(percent(), 0);
    drawn = renderWidget(bar);
    EXPECT_FALSE(anyPixel(drawn, bar.rect(), [&accent](const QColor &c) { return near(c, accent, 20); }));
}
