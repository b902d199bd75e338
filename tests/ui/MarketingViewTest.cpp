#include "WindowFixture.h"

#include "PixelProbe.h"
#include "controls/KLVApp_CustomProgressBar.h"
#include "controls/RoundedImageView.h"
#include "controls/StoreWebView.h"
#include "marketing/MarketingCenter.h"
#include "marketing/Rewards.h"
#include "offers/MarketingProductModel.h"
#include "offers/MarketingTableView.h"
#include "offers/MarketingViewScript.h"
#include "offers/ProductDetailPage.h"
#include "offers/RewardCoinStrip.h"
#include "offers/RewardTierModel.h"
#include "offers/RewardsPanel.h"
#include "offers/SaleCountdownBanner.h"
#include "shell/KLVAppMenuCurveBox.h"
#include "shell/MainViewController.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace klv::test {

namespace {

using ui::MainViewController;

// The demo sale's products, in the store's order.
const QStringList demoSale{u"Story Frames"_s, u"Kinetic Titles Vol. 2"_s};

QStringList rowNames(const QAbstractItemModel &model, int column) {
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names << model.index(row, column).data().toString();
    return names;
}

void clickButtonOfRow(ui::MarketingTableView &table, int row) {
    const QRect button = table.buttonRect(row);
    ASSERT_FALSE(button.isEmpty()) << row;
    QTest::mouseMove(table.viewport(), button.center());
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, button.center());
}

} // namespace

class MarketingViewTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        signInBeforehand();
        openWindow();
        // Every test here runs both models of the table under Qt's checks of what a model promises.
        for (QAbstractItemModel *model : std::initializer_list<QAbstractItemModel *>{
                 view().findChild<ui::MarketingProductModel *>(), view().findChild<ui::RewardTierModel *>()})
            new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal, model);
    }

    void openSection(appMenuIndex section) {
        ASSERT_TRUE(waitUntil([this, section] { return window->menuItem(section).isMenuItemEnabled(); }));
        window->menuItem(section).appMenuButton()->click();
        ASSERT_EQ(window->currentSection(), section);
    }

    ui::MarketingViewScript &view() const { return window->marketingView(); }
    ui::MarketingTableView &table() const { return view().tableView(); }
};

TEST_F(MarketingViewTest, SaleShowsItsProductsUnderTheCountdownBannerDrivenByOneBeat) {
    ASSERT_TRUE(waitUntil([this] { return context->marketing().saleOfTheDayPList().size() == 2; }));
    openSection(appMenuIndex::saleOfTheDayAppMenu);
    EXPECT_TRUE(view().isVisible());
    EXPECT_TRUE(window->placeholderText().isEmpty());
    EXPECT_EQ(rowNames(*table().model(), ui::MarketingProductModel::nameColumn), demoSale);
    const QModelIndex first = table().model()->index(0, ui::MarketingProductModel::nameColumn);
    EXPECT_EQ(first.data(Qt::AccessibleTextRole), u"Story Frames"_s);
    EXPECT_EQ(first.data(Qt::AccessibleDescriptionRole), u"Animated frames for vertical stories"_s);
    EXPECT_EQ(table().rowHeight(0), 100);
    EXPECT_FALSE(view().rewardsPanel().isVisible());

    ui::SaleCountdownBanner &banner = window->countdownBanner();
    EXPECT_TRUE(banner.isVisible());
    // Written at once, not a second later.
    const QRegularExpression countdown(u"^30% OFF - \\d+d : \\d+h : \\d+m : \\d+s$"_s);
    EXPECT_TRUE(countdown.match(banner.countdownText()).hasMatch()) << banner.countdownText().toStdString();
    // The table's container leaves the banner its room.
    EXPECT_EQ(view().tableContainer().height(), banner.parentWidget()->height() - banner.height());

    // The rows' pictures come from the store and are drawn with their rounded corners.
    auto &model = static_cast<ui::MarketingProductModel &>(*table().model());
    ASSERT_TRUE(waitUntil([&] { return !model.picture(model.index(0, 0), 1.0).isNull(); }));
    EXPECT_EQ(model.picture(model.index(0, 0), 2.0).size(), QSize(144, 144));

    // Every visit shows the countdown at once; the one beat moves it on, a second a tick.
    for (int visit = 0; visit < 3; ++visit) {
        window->showSection(appMenuIndex::featuredAppMenu);
        window->showSection(appMenuIndex::saleOfTheDayAppMenu);
    }
    int changes = 0;
    QObject::connect(&context->marketing(), &MarketingCenter::countdownChanged, &banner, [&changes] { ++changes; });
    const QString before = banner.countdownText();
    now = now.addSecs(1);
    ticks.tick();
    EXPECT_EQ(changes, 1);
    EXPECT_NE(banner.countdownText(), before);
    EXPECT_TRUE(countdown.match(banner.countdownText()).hasMatch());

    window->showSection(appMenuIndex::freeProductAppMenu);
    EXPECT_FALSE(banner.isVisible());
}

TEST_F(MarketingViewTest, FreeProductsLeaveOutWhatTheCustomerOwns) {
    // The customer owns "Paper Cutouts"; once the library is known it is no longer offered.
    ASSERT_TRUE(waitUntil([this] { return context->marketing().freeProductList().size() == 1; }));
    openSection(appMenuIndex::freeProductAppMenu);
    EXPECT_EQ(rowNames(*table().model(), ui::MarketingProductModel::nameColumn), QStringList{u"Light Leaks Sampler"_s});
    EXPECT_FALSE(window->countdownBanner().isVisible());
    EXPECT_EQ(view().tableContainer().height(), view().height());
}

TEST_F(MarketingViewTest, RewardsShowCoinsBarTiersAndTurnAClaimedCouponIntoUsed) {
    openSection(appMenuIndex::saleOfTheDayAppMenu);
    openSection(appMenuIndex::myRewardsAppMenu);
    ui::RewardsPanel &panel = view().rewardsPanel();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(view().tableContainer().height(), view().height() - ui::RewardsPanel::panelHeight);

    // The demo customer spent 450.50 dollars.
    EXPECT_EQ(panel.coinStrip().goldCoins(), 4);
    EXPECT_EQ(panel.coinStrip().needText(), u"$ 50 need"_s);
    ui::KLVApp_CustomProgressBar &bar = panel.progressBar();
    EXPECT_DOUBLE_EQ(bar.curValue(), 450.5);
    EXPECT_DOUBLE_EQ(bar.maxValue(), 1000.0);
    const QImage barImage = ui::test::renderWidget(bar);
    const QColor fill(254, 113, 102);
    EXPECT_TRUE(ui::test::near(ui::test::pixelAt(barImage, QPointF(bar.fillEnd() - 5, bar.lineHeight())), fill));
    EXPECT_FALSE(ui::test::near(ui::test::pixelAt(barImage, QPointF(bar.fillEnd() + 25, bar.lineHeight())), fill));
    // The last heading stays inside the narrower bar.
    EXPECT_TRUE(ui::test::anyPixel(barImage, QRect(bar.width() - 96, bar.height() - 22, 50, 22),
                                   [](const QColor &c) { return c.lightness() > 90; }));

    const QAbstractItemModel &tiers = *table().model();
    ASSERT_EQ(tiers.rowCount(), 10);
    // The tiers' own row height, not the product rows' the table had before.
    EXPECT_EQ(table().rowHeight(9), 60);
    const auto state = [&tiers](int row) {
        return tiers.index(row, 1).data(Qt::AccessibleDescriptionRole).toString();
    };
    EXPECT_EQ(tiers.index(0, 1).data(Qt::AccessibleTextRole), u"Tier 1: $10"_s);
    EXPECT_EQ(state(0), u"for spending more than $100, Avaliable, coupon KLV-REWARD-10-7QX2"_s);
    EXPECT_EQ(state(1), u"for spending more than $200, USED on order 4711, coupon KLV-REWARD-20-M4PD"_s);
    EXPECT_EQ(state(2), u"for spending more than $300, Avaliable, coupon KLV-REWARD-30-Z8LK"_s);
    EXPECT_EQ(state(3), u"for spending more than $400, Not Avaliable"_s);
    EXPECT_EQ(state(4), u"for spending more than $500, Not Achieved"_s);
    EXPECT_EQ(tiers.index(9, 0).data().toString(), u"1000"_s);
    // Only an available coupon can be copied.
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(table().buttonRect(row).isEmpty(), row != 0 && row != 2) << row;

    // Copying puts the coupon's code on the clipboard, says so as the account page does, and claims the tier,
    // which the store then marks as used.
    QAccessibleInterface *copy = QAccessible::queryAccessibleInterface(&table())->child(0)->child(0);
    EXPECT_EQ(copy->text(QAccessible::Name), u"Copy coupon"_s);
    clickButtonOfRow(table(), 0);
    EXPECT_EQ(desktop.copied, QStringList{u"KLV-REWARD-10-7QX2"_s});
    EXPECT_EQ(copy->text(QAccessible::Description), u"Copied"_s);
    ASSERT_TRUE(waitUntil([&] { return state(0).contains(u"USED on order 8123"_s); })) << state(0).toStdString();
    EXPECT_TRUE(table().buttonRect(0).isEmpty());

    // The keyboard does the same on the row it is on; a row without a coupon copies nothing.
    table().setFocus();
    table().setCurrentIndex(tiers.index(3, 0));
    QTest::keyClick(&table(), Qt::Key_Return);
    EXPECT_EQ(desktop.copied.size(), 1);
    table().setCurrentIndex(tiers.index(2, 0));
    QTest::keyClick(&table(), Qt::Key_Return);
    EXPECT_EQ(desktop.copied, (QStringList{u"KLV-REWARD-10-7QX2"_s, u"KLV-REWARD-30-Z8LK"_s}));
}

TEST_F(MarketingViewTest, ViewOpensTheProductDetailPageWithItsTextsVideoPictureAndCartLink) {
    ASSERT_TRUE(waitUntil([this] { return !context->marketing().saleOfTheDayPList().isEmpty(); }));
    openSection(appMenuIndex::saleOfTheDayAppMenu);
    clickButtonOfRow(table(), 0);
    ui::ProductDetailPage *page = window->productDetailPage();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page));
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page));
    EXPECT_EQ(QApplication::focusWidget(), page) << "no focus ring on Back before the first Tab";
    EXPECT_EQ(page->nameLabel().text(), u"Story Frames"_s);
    EXPECT_EQ(page->shortDescriptionLabel().text(), u"Animated frames for vertical stories"_s);
    EXPECT_EQ(page->longDescriptionLabel().text(),
              u"Twenty animated frames sized for vertical video, with drop zones for your clips. They're ready for "
              u"Final Cut Pro and Motion.*Includes a quick-start guide."_s);
    EXPECT_EQ(page->minimumSize(), page->maximumSize());
    // Tied to the main window, over its middle rather than in a corner of the screen.
    ASSERT_NE(page->windowHandle(), nullptr);
    EXPECT_EQ(page->windowHandle()->transientParent(), window->windowHandle());
    // The test screen is narrower than the page: it keeps to the screen there, centred on the window's middle line.
    const QRect available = window->screen()->availableGeometry();
    EXPECT_TRUE(available.contains(page->frameGeometry().topLeft()));
    EXPECT_LE(std::abs(page->frameGeometry().center().y() - window->frameGeometry().center().y()), 40);

    // The video comes from the player with the product's video id, looping and muted.
    const QString video = store->url() + u"/player/#420202?autoplay=1&loop=1&title=0&byline=0&portrait=0&muted=1"_s;
    EXPECT_TRUE(waitUntil([page, &video] { return page->videoView().url().toString() == video; }))
        << page->videoView().url().toString().toStdString();
    EXPECT_TRUE(page->videoView().page()->isAudioMuted());
    EXPECT_TRUE(waitUntil([page] { return page->videoView().title() == u"Product video 420202"_s; }))
        << page->videoView().title().toStdString();

    ASSERT_TRUE(waitUntil([page] { return page->isPictureSettled(); }));
    EXPECT_FALSE(page->pictureView().image().isNull());

    page->addToCartButton().click();
    ASSERT_FALSE(desktop.opened.isEmpty());
    EXPECT_EQ(desktop.opened.last().toString(), store->url() + u"/cart/?add-to-cart=4202"_s);

    // A second "View" replaces the page; the back button closes it.
    clickButtonOfRow(table(), 1);
    ASSERT_TRUE(waitUntil([this, page] { return window->productDetailPage() != page; }));
    page = window->productDetailPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->nameLabel().text(), u"Kinetic Titles Vol. 2"_s);
    page->backButton().click();
    EXPECT_TRUE(waitUntil([this] { return window->productDetailPage() == nullptr; }));
}

TEST_F(MarketingViewTest, AProductPictureThatFailsLeavesTheDetailPictureEmpty) {
    OnSaleProductInfo product;
    product.product_id = 77;
    product.product_name = u"Missing Picture"_s;
    for (const QString &path : {u"/files/pictures/no-such-picture.png"_s, u"/featured/"_s}) {
        product.product_image = store->url() + path;
        ui::ProductDetailPage page(context->services(), product);
        page.show();
        ASSERT_TRUE(waitUntil([&page] { return page.isPictureSettled(); })) << path.toStdString();
        EXPECT_TRUE(page.pictureView().image().isNull()) << path.toStdString();
    }
}

// A store whose sale is empty and whose only free product the customer owns.
class EmptyMarketingTest : public MarketingViewTest {
protected:
    QString catalogDirectory() const override {
        const QString demo = demoCatalog();
        QFile source(demo + u"/store.json"_s);
        EXPECT_TRUE(source.open(QIODevice::ReadOnly));
        QJsonObject catalog = QJsonDocument::fromJson(source.readAll()).object();
        QJsonObject marketing = catalog.value(u"marketing"_s).toObject();
        marketing.insert(u"saleItemsInfo"_s, QJsonArray());
        QJsonArray owned;
        for (const QJsonValue &free : marketing.value(u"freeItemInfo"_s).toArray()) {
            if (free.toObject().value(u"product_id"_s).toInteger() == 3911)
                owned.append(free);
        }
        marketing.insert(u"freeItemInfo"_s, owned);
        catalog.insert(u"marketing"_s, marketing);
        QFile target(catalogFolder.path() + u"/store.json"_s);
        EXPECT_TRUE(target.open(QIODevice::WriteOnly));
        target.write(QJsonDocument(catalog).toJson());
        for (const QString &folder : {u"files"_s, u"site"_s})
            QFile::link(demo + u'/' + folder, catalogFolder.path() + u'/' + folder);
        return catalogFolder.path();
    }

    QTemporaryDir catalogFolder;
};

TEST_F(EmptyMarketingTest, AnEmptySaleShowsThePlaceholderWithoutBannerAndNoFreebiesLeftSaysHurray) {
    openSection(appMenuIndex::saleOfTheDayAppMenu);
    EXPECT_EQ(window->placeholderText(),
              u"No sale today\nWe always have our bundle discount. Buy 5 or more products for 25% off"_s);
    EXPECT_FALSE(window->countdownBanner().isVisible());
    EXPECT_FALSE(ticks.isActive()) << "without a sale nothing counts down";
    openSection(appMenuIndex::featuredAppMenu);
    EXPECT_TRUE(window->placeholderText().isEmpty());

    // The owned free product leaves the list once the library is known, while the section shows.
    openSection(appMenuIndex::freeProductAppMenu);
    ASSERT_TRUE(waitUntil([this] { return context->marketing().freeProductList().isEmpty(); }));
    EXPECT_TRUE(waitUntil([this] { return window->placeholderText() == u"Hurray you got all the freebies\n"_s; }))
        << window->placeholderText().toStdString();
}

} // namespace klv::test
