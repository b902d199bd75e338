#include "WindowFixture.h"

#include "AccountFixture.h"

#include "account/AccountSettingView.h"
#include "controls/StorePageFrame.h"
#include "controls/StoreWebView.h"
#include "install/InstallationEngine.h"
#include "library/ProductLibrary.h"
#include "login/StoreLogin.h"
#include "marketing/MarketingCenter.h"
#include "products/StoreProductViewScript.h"
#include "shell/KLVAppMenuCurveBox.h"
#include "shell/MainViewController.h"
#include "store/Services.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>

using namespace Qt::StringLiterals;

namespace klv::test {

namespace {

using ui::MainViewController;

bool isMenuEnabled(const MainViewController &window, appMenuIndex section) {
    return window.menuItem(section).isMenuItemEnabled();
}

// Runs a script in the page and waits for its result.
QVariant evaluate(QWebEnginePage &page, const QString &script) {
    QVariant result;
    bool done = false;
    page.runJavaScript(script, [&](const QVariant &value) {
        result = value;
        done = true;
    });
    waitUntil([&done] { return done; });
    return result;
}

} // namespace

class MainWindowTest : public WindowFixture {};

TEST_F(MainWindowTest, StartsSignedOutWithOnlyTheLoginPanelAndTheDataSectionsDisabled) {
    openWindow();
    EXPECT_EQ(window->currentSection(), appMenuIndex::logintMenu);
    EXPECT_TRUE(window->storeLogin().isVisible());
    EXPECT_FALSE(window->storeProductView().isVisible());
    EXPECT_FALSE(window->accountView().isVisible());
    for (const auto section : {appMenuIndex::myProductsAppMenu, appMenuIndex::saleOfTheDayAppMenu,
                               appMenuIndex::freeProductAppMenu, appMenuIndex::myRewardsAppMenu})
        EXPECT_FALSE(isMenuEnabled(*window, section)) << int(section);
    EXPECT_EQ(window->size(), MainViewController::windowSize);

    // A menu click while signed out keeps the login panel.
    window->menuItem(appMenuIndex::accountAppMenu).appMenuButton()->click();
    EXPECT_TRUE(window->storeLogin().isVisible());
}

TEST_F(MainWindowTest, SignedInStartShowsTheFeaturedPageAndEnablesSectionsAsTheirDataArrives) {
    signInBeforehand();
    openWindow();
    EXPECT_EQ(window->currentSection(), appMenuIndex::featuredAppMenu);
    EXPECT_FALSE(window->storeLogin().isVisible());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), window.get()) << "no focus ring shows before the first Tab";
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::myProductsAppMenu); }));
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::myRewardsAppMenu); }));
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::saleOfTheDayAppMenu); }));
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::freeProductAppMenu); }));

    QAbstractButton *myProducts = window->menuItem(appMenuIndex::myProductsAppMenu).appMenuButton();
    QTest::mouseClick(myProducts, Qt::LeftButton);
    EXPECT_EQ(window->currentSection(), appMenuIndex::myProductsAppMenu);
    EXPECT_TRUE(window->storeProductView().isVisible());
    EXPECT_NE(QApplication::focusWidget(), myProducts) << "a click leaves no focus ring on the menu";
    EXPECT_TRUE(myProducts->focusPolicy() & Qt::TabFocus) << "the keyboard still reaches it";
    window->menuItem(appMenuIndex::accountAppMenu).appMenuButton()->click();
    EXPECT_TRUE(window->accountView().isVisible());
}

TEST_F(MainWindowTest, SectionTitlesStandInOnePlace) {
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::myProductsAppMenu); }));
    // Where the title's first letter starts and where its line's middle is, in the window.
    const auto titlePlace = [this](appMenuIndex section) -> std::optional<QPoint> {
        window->showSection(section);
        for (const QLabel *label : window->findChildren<QLabel *>()) {
            if (label->isVisible() && label->property("look").toString() == u"sectionTitle"_s)
                return label->mapTo(window.get(), QPoint(label->contentsRect().left(), label->height() / 2));
        }
        return std::nullopt;
    };
    const std::optional<QPoint> library = titlePlace(appMenuIndex::myProductsAppMenu);
    const std::optional<QPoint> account = titlePlace(appMenuIndex::accountAppMenu);
    ASSERT_TRUE(library && account);
    EXPECT_LE(std::abs(library->x() - account->x()), 2) << library->x() << " " << account->x();
    EXPECT_LE(std::abs(library->y() - account->y()), 3) << library->y() << " " << account->y();
}

TEST_F(MainWindowTest, SignOutReturnsToTheLoginPanelWithTheKeyboardInTheAccountField) {
    signInBeforehand();
    openWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::myProductsAppMenu); }));
    window->showSection(appMenuIndex::accountAppMenu);
    auto *signOut = findVisible<QPushButton>(window->accountView(), u"Sign Out"_s);
    ASSERT_NE(signOut, nullptr);
    signOut->setFocus(Qt::TabFocusReason);
    QTest::keyClick(signOut, Qt::Key_Space);
    EXPECT_EQ(window->currentSection(), appMenuIndex::logintMenu);
    EXPECT_TRUE(window->storeLogin().isVisible());
    EXPECT_EQ(QApplication::focusWidget(), findVisible<QLineEdit>(window->storeLogin(), u"User name"_s));
    EXPECT_FALSE(isMenuEnabled(*window, appMenuIndex::myProductsAppMenu));
    EXPECT_FALSE(context->services().settings().sessionActive);
    EXPECT_TRUE(context->library().displayedProducts().isEmpty());
}

TEST_F(MainWindowTest, BroughtBackFromTheDockTheWindowIsAsItWasLeft) {
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::myProductsAppMenu); }));
    window->showSection(appMenuIndex::accountAppMenu);
    window->showMinimized();
    window->bringToFront();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->currentSection(), appMenuIndex::accountAppMenu);
}

TEST_F(MainWindowTest, TheWindowFitsASmallScreenIsNamedAndOffersNoMaximize) {
    openWindow();
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint)) << "it cannot grow";
    EXPECT_EQ(window->maximumSize(), MainViewController::windowSize);
    QAccessibleInterface *frame = QAccessible::queryAccessibleInterface(window.get());
    EXPECT_EQ(frame->role(), QAccessible::Window);
    EXPECT_EQ(frame->text(QAccessible::Name), u"KLV App"_s);

    // 1366 × 768 with a 28-pixel panel: the window and its frame stay within what is left.
    const QRect available(0, 0, 1366, 740);
    const QMargins frameMargins(1, 24, 1, 1);
    window->fitInto(available, frameMargins);
    EXPECT_EQ(window->size(), QSize(MainViewController::windowSize.width(), 740 - 25));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "a window manager has nothing to maximize";
    EXPECT_TRUE(available.contains(QRect(window->pos(), window->size().grownBy(frameMargins))));
    // Lower still, the login panel scrolls rather than being cut.
    window->fitInto(QRect(0, 0, 1024, 600), frameMargins);
    EXPECT_EQ(window->height(), 600 - 25);
    auto *loginPage = qobject_cast<QScrollArea *>(window->storeLogin().parentWidget()->parentWidget()->parentWidget());
    ASSERT_NE(loginPage, nullptr);
    EXPECT_TRUE(waitUntil([&] { return loginPage->verticalScrollBar()->maximum() > 0; }));
    window->fitInto(QRect(0, 0, 1920, 1080), frameMargins);
    EXPECT_EQ(window->size(), MainViewController::windowSize);
}

TEST_F(MainWindowTest, ScreenReadersFindTheWindowAloneNotTheWebViewsDrawingWindows) {
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([this] { return window->featurePage() != nullptr; }));
    ASSERT_TRUE(waitUntil([this] { return window->featurePage()->view().title() == u"Featured — Vantory"_s; }));
    QAccessibleInterface *application = QAccessible::queryAccessibleInterface(qApp);
    ASSERT_NE(application, nullptr);
    const auto windowNames = [application] {
        QStringList names;
        for (int i = 0; i < application->childCount(); ++i)
            names.append(application->child(i)->text(QAccessible::Name));
        return names;
    };
    EXPECT_TRUE(waitUntil([&] { return !windowNames().contains(u"Offscreen"_s); }))
        << windowNames().join(u", "_s).toStdString();
    EXPECT_TRUE(windowNames().contains(u"KLV App"_s));
    EXPECT_EQ(window->featurePage()->view().title(), u"Featured — Vantory"_s) << "the page still draws";
}

TEST_F(MainWindowTest, FeaturedSaysWhenTheStoreCannotBeReachedAndLoadsAgainOnceItCan) {
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([this] { return window->featurePage() != nullptr; }));
    ui::StorePageFrame &featured = *window->featurePage();
    ASSERT_TRUE(waitUntil([&] { return featured.view().title() == u"Featured — Vantory"_s; }));
    EXPECT_FALSE(featured.isUnreachable());

    const QString port = QString::number(QUrl(store->url()).port());
    ASSERT_TRUE(store->stop());
    window->showSection(appMenuIndex::featuredAppMenu);
    ASSERT_TRUE(waitUntil([&] { return featured.isUnreachable(); }));
    EXPECT_TRUE(featured.noticeText().startsWith(u"The store cannot be reached"_s))
        << featured.noticeText().toStdString();
    EXPECT_FALSE(featured.view().isVisible()) << "no page of the browser's own";

    store = std::make_unique<storeservice::StoreProcess>(demoCatalog(), QStringList{u"--port"_s, port});
    ASSERT_TRUE(store->start()) << store->errorString().toStdString();
    for (int beat = 0; beat < ui::StorePageFrame::retryBeats; ++beat)
        ticks.tick();
    ASSERT_TRUE(waitUntil([&] { return !featured.isUnreachable(); }));
    EXPECT_TRUE(featured.view().isVisible());
    EXPECT_EQ(featured.view().title(), u"Featured — Vantory"_s);
}

TEST_F(MainWindowTest, ClearingTheCacheIsRefusedWhileAJobIsQueued) {
    signInBeforehand();
    openWindow();
    startSlowInstallation();
    const auto alertsBefore = alerts.shown.size();
    EXPECT_FALSE(window->reloadAfterClearingCache());
    EXPECT_EQ(alerts.shown.size(), alertsBefore);
    context->installationEngine().cancelInstallation();
    ASSERT_TRUE(waitUntil([this] { return !context->installationEngine().isBusy(); }));
    EXPECT_TRUE(window->reloadAfterClearingCache());
    ASSERT_TRUE(waitUntil([this] {
        return !alerts.shown.isEmpty() && alerts.shown.last().title == u"Cache Cleared"_s;
    })) << "said once the store answers";
}

TEST_F(MainWindowTest, WebPagesComeFromTheStoreTheTutorialLoadsOnceAndLeavingItPausesItsVideo) {
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([this] { return window->featureWebView() != nullptr; }));
    ui::StoreWebView &featured = *window->featureWebView();
    // The title comes from the demo site's featured page, so it arrived from the store.
    EXPECT_TRUE(waitUntil([&featured] { return featured.title() == u"Featured — Vantory"_s; }))
        << featured.title().toStdString();
    EXPECT_EQ(featured.url().path(), u"/featured/"_s);
    EXPECT_EQ(featured.page()->profile()->httpUserAgent(), ui::StoreWebView::userAgent);

    ui::StoreWebView &tutorials = *window->tutorialWebView();
    int loads = 0;
    QObject::connect(&tutorials, &QWebEngineView::loadStarted, &tutorials, [&loads] { ++loads; });
    window->showSection(appMenuIndex::tutorialAppMenu);
    bool loaded = false;
    QObject::connect(&tutorials, &QWebEngineView::loadFinished, &tutorials, [&loaded](bool ok) { loaded = ok; });
    ASSERT_TRUE(waitUntil([&loaded] { return loaded; }));
    window->showSection(appMenuIndex::accountAppMenu);
    window->showSection(appMenuIndex::tutorialAppMenu);
    EXPECT_EQ(loads, 1);

    evaluate(*tutorials.page(), u"document.getElementById('lesson').play(); 0"_s);
    ASSERT_TRUE(waitUntil([&tutorials] {
        return evaluate(*tutorials.page(), u"document.getElementById('lesson').paused"_s) == QVariant(false);
    }));
    window->showSection(appMenuIndex::featuredAppMenu);
    EXPECT_TRUE(waitUntil([&tutorials] {
        return evaluate(*tutorials.page(), u"document.getElementById('lesson').paused"_s) == QVariant(true);
    }));
}

} // namespace klv::test
