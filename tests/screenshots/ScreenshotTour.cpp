// Drives the real window through its sections against the demo store and saves a picture of each, so that a
// person can look at the window without running it. Usage: klv-screenshot-tour OUTPUT-FOLDER
#include "app/AppContext.h"
#include "app/StartupSequence.h"
#include "controls/StoreWebView.h"
#include "install/InstallationEngine.h"
#include "library/ProductLibrary.h"
#include "login/StoreLogin.h"
#include "marketing/MarketingCenter.h"
#include "offers/MarketingTableView.h"
#include "offers/MarketingViewScript.h"
#include "offers/ProductDetailPage.h"
#include "products/LibraryActions.h"
#include "products/LibraryModel.h"
#include "products/LibraryRowDelegate.h"
#include "products/StoreProductScrollViewScript.h"
#include "products/StoreProductViewScript.h"
#include "shell/KLVAppMenuCurveBox.h"
#include "shell/MainViewController.h"
#include "store/DesktopServices.h"
#include "store/Services.h"
#include "style/Theme.h"
#include "update/SelfUpdate.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"
#include "storeservice/StoreProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <type_traits>

using namespace Qt::StringLiterals;

using klv::test::waitUntil;

namespace {

class QuietDesktop final : public klv::DesktopServices {
public:
    void openUrl(const QUrl &) override {}
    void revealFolder(const QString &) override {}
    void copyText(const QString &) override {}
};

// Pictures are taken once the window has drawn what arrived: a tour, not a test, lets time pass for that.
void settle(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The visible control of that type with that accessible name or, for a button that has none, that text.
template <typename Widget> Widget *named(const QWidget &parent, const QString &name) {
    const QList<Widget *> candidates = parent.findChildren<Widget *>();
    for (Widget *candidate : candidates) {
        QString label = candidate->accessibleName();
        if constexpr (std::is_base_of_v<QAbstractButton, Widget>) {
            if (label.isEmpty())
                label = candidate->text();
        }
        if (label == name && candidate->isVisible())
            return candidate;
    }
    return nullptr;
}

class Tour {
public:
    explicit Tour(QString folder)
        : m_folder(std::move(folder)) {}

    int run();

private:
    // The sale, free and rewards sections and a product's detail page.
    int marketingSections(klv::AppContext &context);
    bool step(bool ok, const char *what) {
        if (!ok)
            std::fprintf(stderr, "screenshot tour: %s\n", what);
        return ok;
    }
    void save(const QString &name, const QImage &image) {
        const QString path = QDir(m_folder).filePath(name + u".png"_s);
        image.save(path);
        std::printf("%s\n", qPrintable(path));
    }
    void saveWindow(const QString &name) { save(name, m_window->grab().toImage()); }
    // The window with an open pop-up menu drawn where it shows.
    // The window with a popup (a menu, a drop-down list) drawn where it shows.
    void saveWindowWithMenu(const QString &name, QWidget &menu) {
        QImage image = m_window->grab().toImage();
        QPainter painter(&image);
        painter.drawPixmap(m_window->mapFromGlobal(menu.pos()), menu.grab());
        painter.end();
        save(name, image);
    }

    QString m_folder;
    std::unique_ptr<klv::ui::MainViewController> m_window;
};

int Tour::run() {
    klv::test::SandboxHome home;
    klv::storeservice::StoreProcess store(
        klv::test::demoCatalog(),
        {u"--fault"_s, u"path=/files/templates/zoom-transitions.zip,kind=drip,delayMs=400"_s});
    if (!step(store.start(), "the demo store did not start"))
        return 1;
    klv::Configuration configuration = klv::Configuration::fromEnvironment();
    configuration.storeUrl = store.url();
    configuration.tutorialUrl = store.url() + u"/tutorials/"_s;
    configuration.videoPlayerUrl = store.url() + u"/player/#"_s;
    // Every address the demo catalog serves, on this store's port.
    configuration.downloadBucketUrl = store.url() + u"/files/bucket/"_s;
    configuration.pluginSiteUrl = store.url() + u"/files/plugins/"_s;
    configuration.fontStoreUrl = store.url() + u"/files/fonts/"_s;
    configuration.logoUrl = store.url() + u"/files/logo.png"_s;
    klv::test::ScriptedAlerts alerts;
    QuietDesktop desktop;
    klv::AppContext context(configuration, alerts);
    context.services().setDesktopServices(desktop);
    klv::runStartupSequence(context, {}, klv::UpdaterFetch::onDemand);

    m_window = std::make_unique<klv::ui::MainViewController>(context);
    // As the application places it: within the screen's free area, room kept for a frame.
    m_window->fitInto(m_window->screen()->availableGeometry(), QMargins(4, 36, 4, 4));
    m_window->show();
    if (!step(QTest::qWaitForWindowExposed(m_window.get()), "the window did not show"))
        return 1;
    settle(800);
    saveWindow(u"01-signed-out"_s);

    klv::ui::StoreLogin &login = m_window->storeLogin();
    QLineEdit *userName = named<QLineEdit>(login, u"User name"_s);
    QLineEdit *password = named<QLineEdit>(login, u"Password"_s);
    QPushButton *signIn = named<QPushButton>(login, u"Sign In"_s);
    if (!step(userName && password && signIn, "the login panel has no user name, password or sign-in button"))
        return 1;
    userName->setText(u"demo"_s);
    password->setText(u"demo"_s);
    settle(300);
    saveWindow(u"02-signing-in"_s);
    signIn->click();
    if (!step(waitUntil([&] { return m_window->currentSection() == klv::appMenuIndex::featuredAppMenu; }),
              "signing in failed"))
        return 1;
    if (!step(waitUntil([&] { return m_window->featureWebView() && !m_window->featureWebView()->title().isEmpty(); }),
              "the featured page did not load"))
        return 1;
    settle(1500);
    saveWindow(u"03-featured"_s);

    klv::ui::StoreProductViewScript &products = m_window->storeProductView();
    if (!step(waitUntil([&] { return products.model().rowCount() > 0; }), "the library did not arrive"))
        return 1;
    m_window->showSection(klv::appMenuIndex::myProductsAppMenu);
    klv::ui::StoreProductScrollViewScript &outline = products.outline();
    const klv::ui::LibraryModel &model = products.model();
    // The row of a top-level product, in the action column; the model's rows change with every refilter.
    const auto rowOf = [&model](const QString &name) {
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row, klv::ui::LibraryModel::actionColumn);
            if (index.siblingAtColumn(klv::ui::LibraryModel::nameColumn).data().toString() == name)
                return index;
        }
        return QModelIndex();
    };
    // One product installed, so that its menu has more to offer; another one installing slowly, for the strip.
    products.actions().pressProductButton(rowOf(u"Retro Typewriter"_s));
    if (!step(waitUntil([&] { return model.record(rowOf(u"Retro Typewriter"_s))->isInstalled; }, 60'000),
              "the installation did not end"))
        return 1;
    outline.setExpanded(rowOf(u"Creator Essentials Bundle"_s).siblingAtColumn(0), true);
    products.actions().pressProductButton(rowOf(u"Zoom Transitions"_s));
    if (!step(waitUntil([&] { return context.installationEngine().stripValue() > 0.0; }),
              "the installation did not start"))
        return 1;
    settle(1500);
    saveWindow(u"04-library"_s);
    // The pointer over the selected section's menu item, and then over another one.
    for (const auto &[section, name] : {std::pair{klv::appMenuIndex::myProductsAppMenu, u"04b-menu-hover-selected"_s},
                                        std::pair{klv::appMenuIndex::accountAppMenu, u"04c-menu-hover"_s}}) {
        QWidget *item = m_window->menuItem(section).appMenuButton();
        QTest::mouseMove(item, item->rect().center());
        settle(300);
        saveWindow(name);
    }
    QTest::mouseMove(m_window.get(), QPoint(m_window->width() - 5, m_window->height() - 5));

    const QModelIndex installed = rowOf(u"Retro Typewriter"_s);
    outline.scrollTo(installed, QAbstractItemView::PositionAtCenter);
    settle(300);
    QTimer::singleShot(600, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            saveWindowWithMenu(u"05-option-menu"_s, *menu);
            menu->close();
        }
    });
    const QRect button = klv::ui::LibraryRowDelegate::optionButtonRect(outline.visualRect(installed));
    products.actions().showOptionMenu(installed,
                                      QRect(outline.viewport()->mapToGlobal(button.topLeft()), button.size()));
    context.installationEngine().cancelInstallation();
    waitUntil([&] { return !context.installationEngine().isBusy(); });

    if (auto *filter = m_window->findChild<QComboBox *>(u"filterPopupButton"_s)) {
        filter->showPopup();
        settle(400);
        saveWindowWithMenu(u"05b-filter-list"_s, *filter->view()->window());
        filter->hidePopup();
    }

    // The demo store offers the version the app already has: the account page says it is up to date.
    QSignalSpy versionAnswered(&context.selfUpdate(), &klv::SelfUpdate::updateAreaChanged);
    context.selfUpdate().checkAppVersion();
    const bool versionKnown = step(waitUntil([&] { return !versionAnswered.isEmpty(); }, 60'000),
                                   "the store did not answer with its version");
    m_window->showSection(klv::appMenuIndex::accountAppMenu);
    settle(800);
    saveWindow(u"06-account"_s);

    m_window->showSection(klv::appMenuIndex::tutorialAppMenu);
    settle(2500);
    saveWindow(u"07-tutorials"_s);
    const int marketingResult = marketingSections(context);
    return versionKnown ? marketingResult : 1;
}

int Tour::marketingSections(klv::AppContext &context) {
    klv::MarketingCenter &marketing = context.marketing();
    if (!step(waitUntil(
                  [&] { return !marketing.saleOfTheDayPList().isEmpty() && !marketing.freeProductList().isEmpty(); }),
              "the sale and the free products did not arrive"))
        return 1;
    m_window->showSection(klv::appMenuIndex::saleOfTheDayAppMenu);
    // Long enough for the rows' pictures to arrive and the countdown to tick.
    settle(2000);
    saveWindow(u"08-sale"_s);

    m_window->showSection(klv::appMenuIndex::freeProductAppMenu);
    settle(1500);
    saveWindow(u"09-free-products"_s);

    m_window->showSection(klv::appMenuIndex::myRewardsAppMenu);
    settle(800);
    saveWindow(u"10-rewards"_s);

    m_window->showSection(klv::appMenuIndex::saleOfTheDayAppMenu);
    settle(300);
    klv::ui::MarketingTableView &table = m_window->marketingView().tableView();
    const QPoint view = table.buttonRect(0).center();
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, view);
    klv::ui::ProductDetailPage *page = m_window->productDetailPage();
    if (!step(page && waitUntil([page] { return page->isPictureSettled(); }), "the product detail page did not open"))
        return 1;
    settle(3000);
    save(u"11-product-detail"_s, page->grab().toImage());
    page->close();
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    klv::ui::StoreWebView::prepareProcess();
    QApplication application(argc, argv);
    klv::ui::theme::apply(application);
    if (argc != 2) {
        std::fprintf(stderr, "usage: klv-screenshot-tour OUTPUT-FOLDER\n");
        return 2;
    }
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    return Tour(QString::fromLocal8Bit(argv[1])).run();
}
