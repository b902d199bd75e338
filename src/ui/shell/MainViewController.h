#pragma once

#include "library/OnSaleProductInfo.h"
#include "library/ProductEnums.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QWidget>

class QLabel;
class QStackedWidget;

namespace klv {
class AppContext;
}

namespace klv::ui {

class AccountSettingView;
class KLVAppMenuCurveBox;
class MarketingViewScript;
class ProductDetailPage;
class SaleCountdownBanner;
class StoreLogin;
class StorePageFrame;
class StoreProductViewScript;
class StoreWebView;

// The application's only window: the logo, the section menu on the left and the detail area that shows one
// section at a time, or the login panel while nobody is signed in. The web pages are made after the first frame,
// so the window appears without waiting for the web engine.
class MainViewController final : public QWidget {
    Q_OBJECT
public:
    // The window's size wherever the screen holds it; it shrinks to a smaller screen's free area, down to
    // minimumWindowSize, and never grows beyond windowSize. Its size is fixed: the person does not resize it.
    static constexpr QSize windowSize{1103, 754};
    static constexpr QSize minimumWindowSize{860, 560};

    explicit MainViewController(AppContext &context, QWidget *parent = nullptr);
    ~MainViewController() override;

    // Sizes the window to fit `available` (a screen's free area) with its frame, at most windowSize.
    void fitInto(const QRect &available, const QMargins &frame);
    void showSection(appMenuIndex section);
    // Shows the window as it was (section, search, scroll), out of the dock or from behind others.
    void bringToFront();
    void setAppMenuEnabled(appMenuIndex section, bool enabled);
    void loginCompleted();
    // Forgets the library and loads it again; refused (false) while an installation is queued or running.
    bool reloadAfterClearingCache();
    void signOut();
    // Opens the detail page of a sale or free product in its own window, in place of one already open.
    void openProductDetail(const OnSaleProductInfo &product);

    appMenuIndex currentSection() const { return m_section; }
    KLVAppMenuCurveBox &menuItem(appMenuIndex section) const;
    StoreLogin &storeLogin() const { return *m_storeLogin; }
    StoreProductViewScript &storeProductView() const { return *m_storeProductView; }
    AccountSettingView &accountView() const { return *m_accountView; }
    MarketingViewScript &marketingView() const { return *m_marketingView; }
    SaleCountdownBanner &countdownBanner() const { return *m_countdownBarView; }
    // The open product detail page; null when there is none.
    ProductDetailPage *productDetailPage() const;
    // Null until the first frame has been painted.
    StorePageFrame *featurePage() const { return m_featureFrame; }
    StoreWebView *featureWebView() const { return m_featureWebKit; }
    StoreWebView *tutorialWebView() const { return m_tutorialWebKit; }
    bool isTutorialLoaded() const { return m_loadTutorialWeb; }
    // What the placeholder says while it shows, empty otherwise.
    QString placeholderText() const;

Q_SIGNALS:
    // The web views exist now.
    void webViewsCreated();
    // A klv:// link on a store page was followed.
    void productLinkRequested(const QString &link);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct MenuEntry {
        KLVAppMenuCurveBox *box;
        appMenuIndex section;
        QString title;
    };

    QWidget *buildSideBar();
    QWidget *buildPlaceholder();
    QWidget *buildLoginPage();
    QWidget *buildMarketingPage();
    void showMarketingSection(appMenuIndex section);
    void createWebViews();
    void showPlaceholder(const QString &title, const QString &subtitle);
    void highlightMenu(appMenuIndex section);
    void refreshMenuEnabling();
    void loadFeaturedPage();
    void loadTutorialPage();

    AppContext &m_context;
    QList<MenuEntry> m_appMenuUIList;
    QStackedWidget *m_detail;
    QWidget *m_featurePage;
    QWidget *m_tutorialPage;
    QWidget *m_nothingContainerView;
    QLabel *m_nothingLabel;
    QLabel *m_subNothingLabel;
    QWidget *m_loginPage;
    StoreLogin *m_storeLogin;
    StoreProductViewScript *m_storeProductView;
    AccountSettingView *m_accountView;
    QWidget *m_marketingPage;
    SaleCountdownBanner *m_countdownBarView;
    MarketingViewScript *m_marketingView;
    QPointer<ProductDetailPage> m_productPage;
    StorePageFrame *m_featureFrame = nullptr;
    StorePageFrame *m_tutorialFrame = nullptr;
    StoreWebView *m_featureWebKit = nullptr;
    StoreWebView *m_tutorialWebKit = nullptr;
    bool m_loadTutorialWeb = false;
    bool m_webViewsScheduled = false;
    appMenuIndex m_section = appMenuIndex::logintMenu;
    // Data-driven sections whose data has not arrived (or went with a sign-out).
    QSet<appMenuIndex> m_sectionsWithoutData;
};

} // namespace klv::ui
