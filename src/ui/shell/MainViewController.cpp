#include "shell/MainViewController.h"

#include "account/AccountSettingView.h"
#include "app/AppContext.h"
#include "controls/StoreLinkSchemeHandler.h"
#include "controls/StorePageFrame.h"
#include "controls/StoreWebView.h"
#include "core/TickSource.h"
#include "install/InstallationEngine.h"
#include "library/ProductLibrary.h"
#include "login/StoreLogin.h"
#include "marketing/MarketingCenter.h"
#include "marketing/Rewards.h"
#include "offers/MarketingViewScript.h"
#include "offers/ProductDetailPage.h"
#include "offers/SaleCountdownBanner.h"
#include "products/StoreProductViewScript.h"
#include "shell/KLVAppMenuCurveBox.h"
#include "store/DesktopServices.h"
#include "store/Reporter.h"
#include "store/Services.h"
#include "style/FormStyle.h"
#include "style/IconLibrary.h"
#include "style/Theme.h"
#include "update/SelfUpdate.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {

constexpr std::chrono::seconds clearingRetryInterval{30};
constexpr int sideBarWidth = 228;

struct MenuDefinition {
    appMenuIndex section;
    const char16_t *title;
    const char16_t *icon;
};

constexpr std::array<MenuDefinition, 7> menuDefinitions{{
    {appMenuIndex::featuredAppMenu, u"Featured", u"menu-featured"},
    {appMenuIndex::myProductsAppMenu, u"My Products", u"menu-products"},
    {appMenuIndex::saleOfTheDayAppMenu, u"Sale of the Day", u"menu-sale"},
    {appMenuIndex::freeProductAppMenu, u"Free Products", u"menu-free"},
    {appMenuIndex::myRewardsAppMenu, u"My Rewards", u"menu-rewards"},
    {appMenuIndex::tutorialAppMenu, u"FCPX Tutorials", u"menu-tutorials"},
    {appMenuIndex::accountAppMenu, u"Account Settings", u"menu-account"},
}};

// Screen readers take the window for the application's frame, named as its title bar names it, rather than for an
// unnamed filler.
QAccessibleInterface *windowAccessible(const QString &className, QObject *object) {
    if (className != QLatin1StringView(MainViewController::staticMetaObject.className()) || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
}

// Where a window of `size` goes to sit centred over `over`, kept inside the screen's free area (off the panels);
// one larger than the area keeps its top left corner, and so its title bar, on the screen.
QPoint centredOver(const QRect &over, const QSize &size, const QRect &available) {
    QRect placed(QPoint(), size);
    placed.moveCenter(over.center());
    const int lastLeft = available.left() + available.width() - size.width();
    const int lastTop = available.top() + available.height() - size.height();
    placed.moveLeft(qBound(available.left(), placed.left(), qMax(available.left(), lastLeft)));
    placed.moveTop(qBound(available.top(), placed.top(), qMax(available.top(), lastTop)));
    return placed.topLeft();
}

QWidget *pageWithBackground(NamedColor color, QWidget *parent) {
    auto *page = new QWidget(parent);
    page->setAutoFillBackground(true);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, theme::color(color));
    page->setPalette(palette);
    return page;
}

} // namespace

MainViewController::MainViewController(AppContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_detail(new QStackedWidget(this)) {
    static const bool windowAccessibleInstalled = [] {
        QAccessible::installFactory(windowAccessible);
        return true;
    }();
    Q_UNUSED(windowAccessibleInstalled)
    setObjectName(u"MainWindow"_s);
    setWindowTitle(QString());
    setAccessibleName(u"KLV App"_s);
    // The window keeps the size of its design: a maximize button would promise what it cannot do, and window
    // managers that ignore the missing button still offer to maximize a window that may change its size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(windowSize);
    setAutoFillBackground(true);

    m_featurePage = pageWithBackground(NamedColor::backgroundSecondary, m_detail);
    m_featurePage->setObjectName(u"featureDetail_ContainerView"_s);
    new QVBoxLayout(m_featurePage);
    m_featurePage->layout()->setContentsMargins(0, 0, 0, 0);
    m_tutorialPage = pageWithBackground(NamedColor::backgroundSecondary, m_detail);
    new QVBoxLayout(m_tutorialPage);
    m_tutorialPage->layout()->setContentsMargins(0, 0, 0, 0);

    m_storeProductView = new StoreProductViewScript(context, m_detail);
    m_accountView = new AccountSettingView(context, m_detail);
    m_nothingContainerView = buildPlaceholder();
    m_marketingPage = buildMarketingPage();

    m_loginPage = buildLoginPage();

    for (QWidget *page :
         std::initializer_list<QWidget *>{m_featurePage, m_storeProductView, m_tutorialPage, m_accountView,
                                          m_marketingPage, m_nothingContainerView, m_loginPage}) {
        m_detail->addWidget(page);
    }

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QWidget *sideBar = buildSideBar();
    sideBar->installEventFilter(this);
    layout->addWidget(sideBar);
    layout->addWidget(m_detail, 1);

    // Until their data arrives, these sections have nothing to show.
    m_sectionsWithoutData = {appMenuIndex::myProductsAppMenu, appMenuIndex::saleOfTheDayAppMenu,
                             appMenuIndex::freeProductAppMenu, appMenuIndex::myRewardsAppMenu};
    refreshMenuEnabling();

    ProductLibrary &library = m_context.library();
    // A cache that could not be cleared for want of the store is cleared as soon as the store answers again.
    library.retryClearingEvery(clearingRetryInterval);
    connect(&library, &ProductLibrary::myProductsAvailable, this,
            [this](bool available) { setAppMenuEnabled(appMenuIndex::myProductsAppMenu, available); });
    connect(&m_context.marketing(), &MarketingCenter::appMenuEnabled, this, &MainViewController::setAppMenuEnabled);
    connect(&m_context.rewards(), &Rewards::appMenuEnabled, this, &MainViewController::setAppMenuEnabled);
    // A list that changes while its section shows may fill or empty the section.
    for (const auto listChanged : {&MarketingCenter::saleListChanged, &MarketingCenter::freeListChanged}) {
        connect(&m_context.marketing(), listChanged, this, [this] {
            if (m_section == appMenuIndex::saleOfTheDayAppMenu || m_section == appMenuIndex::freeProductAppMenu)
                showMarketingSection(m_section);
        });
    }
    connect(m_marketingView, &MarketingViewScript::productViewRequested, this, &MainViewController::openProductDetail);
    connect(m_storeLogin, &StoreLogin::loginCompleted, this, &MainViewController::loginCompleted);
    connect(m_accountView, &AccountSettingView::signOutRequested, this, &MainViewController::signOut);
    connect(m_accountView, &AccountSettingView::clearCacheRequested, this, [this] { reloadAfterClearingCache(); });

    if (library.loadProductCache())
        setAppMenuEnabled(appMenuIndex::myProductsAppMenu, true);

    // The first requests go out as the views enter the window.
    library.requestProductCommitNumber();
    m_context.marketing().requestMarketingInfo();
    m_context.marketing().requestSaleInfo();
    m_context.marketing().startSaleRefresh();
    if (m_context.services().settings().sessionActive) {
        m_context.rewards().requestRewardInfo();
        // The window itself holds the keyboard at first: the first control in the tab chain, the logo, would show
        // its focus ring before anyone pressed Tab.
        setFocus(Qt::OtherFocusReason);
        showSection(appMenuIndex::featuredAppMenu);
    } else {
        showSection(appMenuIndex::logintMenu);
    }
    // An update the updater refused while the app was away is explained once, over the window it came back to.
    if (const std::optional<QString> refusal = m_context.selfUpdate().takeUpdateRefusal()) {
        QTimer::singleShot(0, this, [this, reason = *refusal] {
            m_context.services().reporter().showAlert(
                u"Alert"_s, u"The last update of the KLV App was not installed, so this version runs on: "_s + reason,
                u"OK"_s);
        });
    }
}

MainViewController::~MainViewController() = default;

QWidget *MainViewController::buildSideBar() {
    auto *sideBar = pageWithBackground(NamedColor::background, this);
    sideBar->setObjectName(u"AppMenuContainerView"_s);
    sideBar->setFixedWidth(sideBarWidth);
    auto *layout = new QVBoxLayout(sideBar);
    layout->setContentsMargins(16, 22, 16, 18);
    layout->setSpacing(4);

    auto *logo = new QPushButton(sideBar);
    logo->setObjectName(u"LogoContainerView"_s);
    logo->setAccessibleName(tr("Open the store's web site"));
    logo->setToolTip(tr("Open the store's web site"));
    logo->setIcon(IconLibrary::icon(u"logo"_s));
    logo->setIconSize({34, 34});
    logo->setText(u"  KLV App"_s);
    logo->setFlat(true);
    logo->setCursor(Qt::PointingHandCursor);
    setLook(*logo, "logo");
    connect(logo, &QPushButton::clicked, this,
            [this] { m_context.services().desktop().openUrl(QUrl(m_context.services().configuration().storeUrl)); });
    layout->addWidget(logo);
    layout->addSpacing(22);

    for (const MenuDefinition &definition : menuDefinitions) {
        auto *box = new KLVAppMenuCurveBox(sideBar);
        const QString title = QString::fromUtf16(definition.title);
        box->setTitle(title);
        box->setIcon(u":/icons/"_s + QString::fromUtf16(definition.icon) + u".svg"_s);
        box->setFixedHeight(40);
        const appMenuIndex section = definition.section;
        connect(box->appMenuButton(), &QPushButton::clicked, this, [this, section] { showSection(section); });
        m_appMenuUIList.append({box, section, title});
        layout->addWidget(box);
    }
    layout->addStretch();
    return sideBar;
}

QWidget *MainViewController::buildLoginPage() {
    // On a screen lower than the panel, the panel scrolls rather than being cut.
    auto *page = new QScrollArea(m_detail);
    page->setFrameShape(QFrame::NoFrame);
    page->setWidgetResizable(true);
    setScrollBarLook(*page);
    QWidget *centre = pageWithBackground(NamedColor::background, page);
    m_storeLogin = new StoreLogin(m_context, centre);
    m_storeLogin->prepareVersionLabel();
    auto *layout = new QVBoxLayout(centre);
    layout->addStretch();
    layout->addWidget(m_storeLogin, 0, Qt::AlignHCenter);
    layout->addStretch();
    page->setWidget(centre);
    return page;
}

QWidget *MainViewController::buildPlaceholder() {
    auto *placeholder = pageWithBackground(NamedColor::backgroundSecondary, m_detail);
    placeholder->setObjectName(u"nothingContainerView"_s);
    m_nothingLabel = new QLabel(placeholder);
    m_nothingLabel->setObjectName(u"nothingLabel"_s);
    m_nothingLabel->setAlignment(Qt::AlignCenter);
    setLook(*m_nothingLabel, "placeholderTitle");
    m_subNothingLabel = new QLabel(placeholder);
    m_subNothingLabel->setObjectName(u"subNothingLabel"_s);
    m_subNothingLabel->setAlignment(Qt::AlignCenter);
    m_subNothingLabel->setWordWrap(true);
    QPalette palette = m_subNothingLabel->palette();
    palette.setColor(QPalette::WindowText, theme::color(NamedColor::textSecondary));
    m_subNothingLabel->setPalette(palette);
    auto *layout = new QVBoxLayout(placeholder);
    layout->setContentsMargins(80, 0, 80, 60);
    layout->addStretch();
    layout->addWidget(m_nothingLabel);
    layout->addSpacing(6);
    layout->addWidget(m_subNothingLabel);
    layout->addStretch();
    return placeholder;
}

QWidget *MainViewController::buildMarketingPage() {
    auto *page = pageWithBackground(NamedColor::backgroundSecondary, m_detail);
    page->setObjectName(u"marketingPage"_s);
    m_countdownBarView = new SaleCountdownBanner(m_context.marketing(), page);
    m_marketingView = new MarketingViewScript(m_context, page);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_countdownBarView);
    layout->addWidget(m_marketingView, 1);
    return page;
}

void MainViewController::bringToFront() {
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void MainViewController::fitInto(const QRect &available, const QMargins &frame) {
    setFixedSize(windowSize.boundedTo(available.size().shrunkBy(frame)).expandedTo(minimumWindowSize));
    // A window's position is its frame's.
    move(centredOver(available, size().grownBy(frame), available));
}

KLVAppMenuCurveBox &MainViewController::menuItem(appMenuIndex section) const {
    for (const MenuEntry &entry : m_appMenuUIList) {
        if (entry.section == section)
            return *entry.box;
    }
    Q_UNREACHABLE();
}

QString MainViewController::placeholderText() const {
    if (m_detail->currentWidget() != m_nothingContainerView)
        return {};
    return m_nothingLabel->text() + u'\n' + m_subNothingLabel->text();
}

void MainViewController::showPlaceholder(const QString &title, const QString &subtitle) {
    m_nothingLabel->setText(title);
    m_subNothingLabel->setText(subtitle);
    m_detail->setCurrentWidget(m_nothingContainerView);
}

void MainViewController::showSection(appMenuIndex section) {
    const bool signedIn = m_context.services().settings().sessionActive;
    m_section = signedIn ? section : appMenuIndex::logintMenu;
    if (!signedIn) {
        m_detail->setCurrentWidget(m_loginPage);
        loadFeaturedPage();
    } else {
        switch (section) {
        case appMenuIndex::featuredAppMenu:
            m_detail->setCurrentWidget(m_featurePage);
            loadFeaturedPage();
            break;
        case appMenuIndex::myProductsAppMenu:
            m_detail->setCurrentWidget(m_storeProductView);
            loadFeaturedPage();
            break;
        case appMenuIndex::saleOfTheDayAppMenu:
        case appMenuIndex::freeProductAppMenu:
        case appMenuIndex::myRewardsAppMenu:
            showMarketingSection(section);
            break;
        case appMenuIndex::tutorialAppMenu:
            m_detail->setCurrentWidget(m_tutorialPage);
            loadTutorialPage();
            break;
        case appMenuIndex::accountAppMenu:
            m_detail->setCurrentWidget(m_accountView);
            break;
        case appMenuIndex::logintMenu:
            m_detail->setCurrentWidget(m_loginPage);
            loadFeaturedPage();
            break;
        }
    }
    if (m_section != appMenuIndex::saleOfTheDayAppMenu)
        m_countdownBarView->setSaleSectionShown(false);
    refreshMenuEnabling();
    highlightMenu(m_section);
    // Leaving the tutorials stops whatever plays there.
    if (m_section != appMenuIndex::tutorialAppMenu && m_tutorialWebKit)
        m_tutorialWebKit->pauseVideos();
}

void MainViewController::showMarketingSection(appMenuIndex section) {
    m_marketingView->showMarketingSection(section);
    const MarketingCenter &marketing = m_context.marketing();
    const QStringList salePlaceholder = marketing.saleSectionPlaceholder();
    if (section == appMenuIndex::saleOfTheDayAppMenu && !salePlaceholder.isEmpty()) {
        m_countdownBarView->setSaleSectionShown(false);
        showPlaceholder(salePlaceholder.value(0), salePlaceholder.value(1));
        return;
    }
    if (section == appMenuIndex::freeProductAppMenu && marketing.freeProductList().isEmpty()) {
        showPlaceholder(marketing.freeSectionPlaceholder(), QString());
        return;
    }
    m_countdownBarView->setSaleSectionShown(section == appMenuIndex::saleOfTheDayAppMenu);
    m_detail->setCurrentWidget(m_marketingPage);
}

ProductDetailPage *MainViewController::productDetailPage() const {
    return m_productPage;
}

void MainViewController::openProductDetail(const OnSaleProductInfo &product) {
    if (m_productPage)
        m_productPage->close();
    m_productPage = new ProductDetailPage(m_context.services(), product, this);
    m_productPage->setAttribute(Qt::WA_DeleteOnClose);
    m_productPage->move(centredOver(frameGeometry(), m_productPage->size(), screen()->availableGeometry()));
    m_productPage->show();
    m_productPage->raise();
    m_productPage->activateWindow();
}

void MainViewController::highlightMenu(appMenuIndex section) {
    for (const MenuEntry &entry : std::as_const(m_appMenuUIList)) {
        const bool selected = entry.section == section;
        entry.box->setSelected(selected);
        entry.box->appMenuButton()->setAccessibleDescription(selected ? tr("Selected") : QString());
    }
}

void MainViewController::setAppMenuEnabled(appMenuIndex section, bool enabled) {
    switch (section) {
    case appMenuIndex::myProductsAppMenu:
    case appMenuIndex::saleOfTheDayAppMenu:
    case appMenuIndex::freeProductAppMenu:
    case appMenuIndex::myRewardsAppMenu:
    case appMenuIndex::accountAppMenu:
        if (enabled)
            m_sectionsWithoutData.remove(section);
        else
            m_sectionsWithoutData.insert(section);
        refreshMenuEnabling();
        break;
    default:
        break;
    }
}

void MainViewController::refreshMenuEnabling() {
    // Signed out, every section waits behind the login panel, so none of them looks like it could be opened.
    const bool signedIn = m_context.services().settings().sessionActive;
    for (const MenuEntry &entry : std::as_const(m_appMenuUIList))
        entry.box->setMenuItemEnabled(signedIn && !m_sectionsWithoutData.contains(entry.section));
}

void MainViewController::loginCompleted() {
    showSection(appMenuIndex::featuredAppMenu);
    m_context.library().requestProductCommitNumber();
    m_context.rewards().requestRewardInfo();
    m_accountView->refreshUpdateArea();
}

bool MainViewController::reloadAfterClearingCache() {
    // The library shown stays until the new one has arrived; the core says "Cache Cleared" once the store answers.
    ProductLibrary &library = m_context.library();
    if (m_context.installationEngine().isBusy() || !library.clearCaches())
        return false;
    connect(
        &library, &ProductLibrary::refreshFinished, this,
        [this](ProductLibrary::RefreshOutcome outcome, const QString &message) {
            if (outcome == ProductLibrary::RefreshOutcome::refused ||
                outcome == ProductLibrary::RefreshOutcome::noAnswer)
                m_context.services().reporter().showAlert(u"Alert"_s, message, u"OK"_s);
        },
        Qt::SingleShotConnection);
    return true;
}

void MainViewController::signOut() {
    m_context.signOut();
    m_storeLogin->setLoginControlsEnabled(true);
    m_sectionsWithoutData.unite({appMenuIndex::myProductsAppMenu, appMenuIndex::myRewardsAppMenu});
    showSection(appMenuIndex::logintMenu);
    // The sign-out button went with its page; signing in again starts in the account field.
    m_storeLogin->focusAccountField();
}

void MainViewController::loadFeaturedPage() {
    if (m_featureFrame)
        m_featureFrame->load(QUrl(m_context.services().configuration().storeUrl + u"/featured/"_s));
}

void MainViewController::loadTutorialPage() {
    if (m_loadTutorialWeb || !m_tutorialFrame)
        return;
    m_tutorialFrame->load(QUrl(m_context.services().configuration().tutorialUrl));
    m_tutorialWebKit->pauseVideos();
    m_loadTutorialWeb = true;
}

bool MainViewController::eventFilter(QObject *watched, QEvent *event) {
    // The side bar is painted with every first frame, whichever section shows.
    if (event->type() == QEvent::Paint && !m_webViewsScheduled) {
        m_webViewsScheduled = true;
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, &MainViewController::createWebViews);
    }
    return QWidget::eventFilter(watched, event);
}

void MainViewController::createWebViews() {
    TickSource &beat = m_context.services().ticks();
    m_featureFrame = new StorePageFrame(beat, m_featurePage);
    m_featureWebKit = &m_featureFrame->view();
    m_featureWebKit->setObjectName(u"featureWebKit"_s);
    m_featurePage->layout()->addWidget(m_featureFrame);
    m_tutorialFrame = new StorePageFrame(beat, m_tutorialPage);
    m_tutorialWebKit = &m_tutorialFrame->view();
    m_tutorialWebKit->setObjectName(u"tutorialWebKit"_s);
    m_tutorialPage->layout()->addWidget(m_tutorialFrame);
    connect(&StoreWebView::linkHandler(), &StoreLinkSchemeHandler::linkRequested, this,
            [this](const QUrl &url) { Q_EMIT productLinkRequested(url.toString()); });
    loadFeaturedPage();
    if (m_section == appMenuIndex::tutorialAppMenu)
        loadTutorialPage();
    Q_EMIT webViewsCreated();
}

} // namespace klv::ui
