#include "WindowFixture.h"

#include "account/AccountSettingView.h"
#include "controls/StoreWebView.h"
#include "install/InstallationEngine.h"
#include "library/ProductLibrary.h"
#include "login/StoreLogin.h"
#include "marketing/MarketingCenter.h"
#include "products/StoreProductViewScript.h"
#include "shell/KLVAppMenuCurveBox.h"
#include "shell/MainViewController.h"
#include "store/Services.h"

#include <QPushButton>
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
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::myProductsAppMenu); }));
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::myRewardsAppMenu); }));
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::saleOfTheDayAppMenu); }));
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::freeProductAppMenu); }));

    window->menuItem(appMenuIndex::myProductsAppMenu).appMenuButton()->click();
    EXPECT_EQ(window->currentSection(), appMenuIndex::myProductsAppMenu);
    EXPECT_TRUE(window->storeProductView().isVisible());
    window->menuItem(appMenuIndex::accountAppMenu).appMenuButton()->click();
    EXPECT_TRUE(window->accountView().isVisible());
}

TEST_F(MainWindowTest, SignOutReturnsToTheLoginPanel) {
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([this] { return isMenuEnabled(*window, appMenuIndex::myProductsAppMenu); }));
    window->signOut();
    EXPECT_EQ(window->currentSection(), appMenuIndex::logintMenu);
    EXPECT_TRUE(window->storeLogin().isVisible());
    EXPECT_FALSE(isMenuEnabled(*window, appMenuIndex::myProductsAppMenu));
    EXPECT_FALSE(context->services().settings().sessionActive);
    EXPECT_TRUE(context->library().displayedProducts().isEmpty());
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
