#include "PixelProbe.h"
#include "controls/InfoPopover.h"
#include "controls/KLVInfoButton.h"
#include "controls/KLVPopupViewController.h"
#include "controls/KLVToggleButton2.h"
#include "controls/PopoverText.h"
#include "controls/ThemedMenu.h"
#include "controls/TintedIconView.h"
#include "login/LoginSeperationLine.h"
#include "shell/KLVAppMenuCurveBox.h"
#include "style/SeeThroughWindows.h"
#include "style/Theme.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace klv::ui;
using namespace klv::ui::test;

namespace {

using namespace Qt::StringLiterals;

// A pixel close to the accent colour, the tint of an enabled menu icon.
bool isAccent(const QColor &color) {
    return near(color, theme::color(NamedColor::accent), 40);
}

} // namespace

TEST(SimpleControlsTest, MenuItemIconIsTintedOnlyWhileEnabled) {
    KLVAppMenuCurveBox item;
    item.setIcon(u":/icons/menu-products.svg"_s);
    item.setTitle(u"My Products"_s);
    item.setBgColor(Qt::transparent);
    item.resize(200, 36);
    const QRect iconArea = item.appMenuIcon()->geometry();

    for (const qreal ratio : {1.0, 2.0}) {
        item.setMenuItemEnabled(true);
        EXPECT_TRUE(item.appMenuButton()->isEnabled());
        EXPECT_TRUE(anyPixel(renderWidget(item, ratio), iconArea, isAccent)) << ratio;

        item.setMenuItemEnabled(false);
        EXPECT_FALSE(item.appMenuButton()->isEnabled());
        EXPECT_FALSE(item.appMenuIcon()->isEnabled());
        EXPECT_FALSE(anyPixel(renderWidget(item, ratio), iconArea, isAccent)) << ratio;
    }
}

TEST(SimpleControlsTest, PopoverTextBreaksLinesEscapesAndLinksTheFirstHttpsAddressOnly) {
    const QString message = u"Find it at https://example.test/a?b=1&c=2 or\\nhttps://other.test <b>not bold</b>"_s;
    const QString linked = popoverRichText(message, PopoverLinks::firstHttpsAddress);
    EXPECT_TRUE(linked.contains(u"<a href=\"https://example.test/a?b=1&amp;c=2\""_s));
    EXPECT_EQ(linked.count(u"<a "_s), 1);
    EXPECT_TRUE(linked.contains(u"or<br>https://other.test"_s));
    EXPECT_TRUE(linked.contains(u"&lt;b&gt;not bold&lt;/b&gt;"_s));

    const QString plain = popoverRichText(message, PopoverLinks::none);
    EXPECT_FALSE(plain.contains(u"<a "_s));
    EXPECT_TRUE(plain.contains(u"or<br>https://"_s));
    // "http://" is not a link either way.
    EXPECT_FALSE(popoverRichText(u"see http://x.test"_s, PopoverLinks::firstHttpsAddress).contains(u"<a "_s));
}

TEST(SimpleControlsTest, PopoverFitsItsTextAndOpensItsLinkAndClosesOnEscapeOrOutsideClick) {
    QWidget window;
    window.resize(400, 300);
    KLVInfoButton info(&window);
    info.setGeometry(20, 20, 20, 20);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    InfoPopover helper(&window, PopoverLinks::firstHttpsAddress);
    QList<QUrl> opened;
    info.setInfoMessage(u"Line one\\nLine two\\nhttps://store.test/help"_s);
    helper.showFor(info);
    KLVPopupViewController *popover = helper.popover();
    ASSERT_NE(popover, nullptr);
    popover->setLinkHandler([&opened](const QUrl &url) { opened.append(url); });
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popover));
    // The first showing already carries the text; it is read, not edited: no caret blinks in it.
    EXPECT_TRUE(popover->textField()->text().contains(u"Line two"_s));
    EXPECT_FALSE(popover->textField()->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
    // A screen reader says the message without its markup or its backslash-n pairs.
    EXPECT_EQ(info.accessibleDescription(), u"Line one Line two https://store.test/help"_s);
    EXPECT_EQ(popover->textField()->accessibleName(), u"Line one\nLine two\nhttps://store.test/help"_s);

    const QRect text = popover->textField()->geometry();
    EXPECT_EQ(text.y(), 15);
    EXPECT_EQ(popover->height(), text.height() + 30);
    const int oneLine = popover->fontMetrics().height();
    EXPECT_GE(text.height(), 3 * oneLine);
    // Below its button.
    EXPECT_GE(popover->y(), info.mapToGlobal(QPoint(0, info.height())).y());

    // A longer message grows the popover.
    const int threeLines = popover->height();
    info.setInfoMessage(u"1\\n2\\n3\\n4\\n5\\n6"_s);
    helper.showFor(info);
    EXPECT_GT(popover->height(), threeLines);
    info.setInfoMessage(u"Line one\\nhttps://store.test/help"_s);
    helper.showFor(info);

    // The link is reachable by keyboard: Tab moves to it, Enter opens it through the handler.
    QTest::keyClick(popover->textField(), Qt::Key_Tab);
    QTest::keyClick(popover->textField(), Qt::Key_Return);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), QUrl(u"https://store.test/help"_s));

    QTest::keyClick(popover->textField(), Qt::Key_Escape);
    EXPECT_FALSE(popover->isVisible());

    helper.showFor(info);
    ASSERT_TRUE(popover->isVisible());
    // While it is open the popup receives every press; one outside its bounds closes it.
    QTest::mouseClick(popover, Qt::LeftButton, {}, QPoint(-40, popover->height() + 40));
    EXPECT_FALSE(popover->isVisible());
}

TEST(SimpleControlsTest, MenusAndPopoversAreSquareAndOpaqueWhereNoCompositorDrawsSeeThroughCorners) {
    const QColor fill = theme::color(NamedColor::accountSettingSectionBG);
    QMenu menu;
    applyMenuTheme(menu);
    menu.addAction(u"Learn More"_s);
    menu.addAction(u"Uninstall"_s);
    QWidget window;
    KLVInfoButton info(&window);
    info.setInfoMessage(u"Information"_s);
    window.show();
    InfoPopover helper(&window, PopoverLinks::none);
    helper.showFor(info);
    KLVPopupViewController &popover = *helper.popover();
    popover.close();
    for (const bool seeThrough : {true, false}) {
        setMenuCorners(menu, seeThrough);
        makeSeeThrough(popover, seeThrough);
        for (QWidget *popup : {static_cast<QWidget *>(&menu), static_cast<QWidget *>(&popover)}) {
            const QImage image = popup->grab().toImage();
            // Just inside the outline, where a rounded corner leaves what lies below.
            const QColor corner = image.pixelColor(1, 1);
            if (seeThrough)
                EXPECT_EQ(corner.alpha(), 0) << popup->metaObject()->className();
            else
                EXPECT_TRUE(near(corner, fill))
                    << popup->metaObject()->className() << " " << corner.name().toStdString();
        }
    }

    // The item under the mouse is one fill, edge to edge.
    menu.setActiveAction(menu.actions().constFirst());
    const QImage image = menu.grab().toImage();
    const QRect item = menu.actionGeometry(menu.actions().constFirst()).adjusted(4, 4, -4, -4);
    const QColor accent = theme::color(NamedColor::accent);
    for (const QPoint &point : {item.topLeft(), item.topRight(), item.bottomLeft(), item.bottomRight(),
                                QPoint(item.left(), item.center().y()), QPoint(item.right(), item.center().y())})
        EXPECT_TRUE(near(image.pixelColor(point), accent))
            << point.x() << "," << point.y() << " " << image.pixelColor(point).name().toStdString();
}

TEST(SimpleControlsTest, ToggleButtonDrawsTheIconOfItsStateAndWorksFromTheKeyboard) {
    KLVToggleButton2 eye;
    eye.setPrimaryIcon(u":/icons/eye.svg"_s);
    eye.setSecondaryIcon(u":/icons/eye.slash.fill.svg"_s);
    eye.resize(24, 24);
    EXPECT_EQ(eye.focusPolicy(), Qt::StrongFocus);

    const QImage open = renderWidget(eye, 2);
    eye.setToggle(true);
    const QImage struck = renderWidget(eye, 2);
    EXPECT_NE(open, struck);
    eye.setToggle(false);
    EXPECT_EQ(renderWidget(eye, 2), open);

    QSignalSpy clicks(&eye, &QAbstractButton::clicked);
    QTest::keyClick(&eye, Qt::Key_Space);
    EXPECT_EQ(clicks.size(), 1);
}

TEST(SimpleControlsTest, SeparationLineIsDrawnAcrossItsCentre) {
    LoginSeperationLine line;
    line.setLineColor(Qt::white);
    line.setDrawVertical(true);
    line.setThick(2);
    line.resize(10, 40);
    const QImage image = renderWidget(line);
    EXPECT_TRUE(near(pixelAt(image, {5, 20}), Qt::white));
    EXPECT_FALSE(near(pixelAt(image, {1, 20}), Qt::white));
}
