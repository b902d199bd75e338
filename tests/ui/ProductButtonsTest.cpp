#include "PixelProbe.h"
#include "controls/KLVApp_CustomProductBtn.h"
#include "style/Theme.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace klv;
using namespace klv::ui;
using namespace klv::ui::test;

namespace {

using namespace Qt::StringLiterals;

// A window holding one control, so mouse events reach it as they would on screen.
struct Host {
    QWidget window;
    Host() {
        window.resize(300, 120);
        window.show();
    }
};

// The pointer entering and leaving a control, as the window system reports it.
void enter(QWidget &widget) {
    const QPointF inside(widget.width() / 2.0, widget.height() / 2.0);
    QEnterEvent event(inside, inside, widget.mapToGlobal(inside));
    QApplication::sendEvent(&widget, &event);
}

void leave(QWidget &widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&widget, &event);
}

// A point of the button's box that neither title, image nor border covers.
QColor backgroundOf(KLVApp_CustomProductBtn &button, qreal ratio = 1) {
    return pixelAt(renderWidget(button, ratio), QPointF(button.width() - 7, 7));
}

const ProductButtonState installState{u"Install"_s, ProductButtonState::Style::install, true, true};
const ProductButtonState installedState{u"Installed"_s, ProductButtonState::Style::done, false, true};
const ProductButtonState queuedState{u"In Queue"_s, ProductButtonState::Style::done, false, false};

} // namespace

TEST(ProductButtonsTest, BackgroundFollowsHoverAndPressWhileEnabled) {
    Host host;
    KLVApp_CustomProductBtn button(&host.window);
    button.setGeometry(20, 20, 150, 36);
    button.applyState(installState, 6103);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host.window));
    const QColor normal = theme::color(NamedColor::backgroundPrimaryButtonDefault);
    const QColor hover = theme::color(NamedColor::backgroundPrimaryButtonHover);
    const QColor active = theme::color(NamedColor::backgroundPrimaryButtonActive);
    EXPECT_EQ(button.tag(), 6103);

    EXPECT_TRUE(near(backgroundOf(button), normal));
    EXPECT_TRUE(near(backgroundOf(button, 2), normal));
    enter(button);
    EXPECT_TRUE(near(backgroundOf(button), hover));
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(75, 18));
    EXPECT_TRUE(near(backgroundOf(button), active));
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(75, 18));
    EXPECT_TRUE(near(backgroundOf(button), hover));
    EXPECT_EQ(clicks.size(), 1);
    leave(button);
    EXPECT_TRUE(near(backgroundOf(button), normal));

    // The keyboard works it too.
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(clicks.size(), 2);
}

TEST(ProductButtonsTest, DisabledButtonStaysClearWhateverTheMouseDoes) {
    Host host;
    KLVApp_CustomProductBtn button(&host.window);
    button.setGeometry(20, 20, 150, 36);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host.window));
    const QColor clear = Qt::black; // what renderWidget puts behind the control

    for (const auto &state : {installedState, queuedState}) {
        button.applyState(state, 1);
        EXPECT_FALSE(button.isEnabled());
        QSignalSpy clicks(&button, &QAbstractButton::clicked);
        EXPECT_TRUE(near(backgroundOf(button), clear));
        enter(button);
        EXPECT_TRUE(near(backgroundOf(button), clear));
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(75, 18));
        EXPECT_TRUE(near(backgroundOf(button), clear));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(75, 18));
        EXPECT_TRUE(near(backgroundOf(button), clear));
        EXPECT_EQ(clicks.size(), 0);
        leave(button);
        EXPECT_TRUE(near(backgroundOf(button), clear));
    }

    // An enabled button switched off by its owner clears as well, and lights up again once enabled.
    button.applyState(installState, 1);
    button.setEnabled(false);
    EXPECT_TRUE(near(backgroundOf(button), clear));
    button.setEnabled(true);
    EXPECT_FALSE(near(backgroundOf(button), clear));

    // Without a background to draw, hovering changes nothing either.
    button.setDrawBG(false);
    enter(button);
    EXPECT_TRUE(near(backgroundOf(button), clear));
}

TEST(ProductButtonsTest, ImageAndSeparatorShowOnlyWithAnImage) {
    Host host;
    KLVApp_CustomProductBtn button(&host.window);
    button.setGeometry(20, 20, 150, 36);
    const QColor border = theme::color(NamedColor::outlinePrimaryButtonDefault);
    // The separator stands at twice the image's left offset plus its width: 2 * 10 + 20.
    const QPointF separator(40, 18);
    const QRect image(10, 8, 20, 20);
    const auto isBlack = [](const QColor &color) {
        return near(color, Qt::black);
    };
    const auto isLit = [](const QColor &color) {
        return color.lightness() > 120;
    };

    button.applyState(installedState, 1);
    QImage drawn = renderWidget(button, 2);
    EXPECT_TRUE(near(pixelAt(drawn, separator), border, 20));
    EXPECT_TRUE(anyPixel(drawn, image, [](const QColor &color) { return color.green() > 150 && color.red() < 150; }));

    button.applyState(queuedState, 1);
    drawn = renderWidget(button, 2);
    EXPECT_TRUE(isBlack(pixelAt(drawn, separator)));
    EXPECT_FALSE(anyPixel(drawn, QRect(11, 9, 18, 18), [](const QColor &color) { return color.green() > 150; }));
    // The title is drawn, centred.
    EXPECT_TRUE(anyPixel(drawn, QRect(50, 10, 50, 16), [&](const QColor &color) { return !isBlack(color); }));

    button.applyState(installState, 1);
    EXPECT_TRUE(anyPixel(renderWidget(button), image, isLit));
}
