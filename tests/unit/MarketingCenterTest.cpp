#include "marketing/MarketingCenter.h"

#include "library/ProductCache.h"
#include "library/ProductLibrary.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "storeservice/StoreProcess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

using namespace klv::test;

namespace klv {
namespace {

using namespace Qt::StringLiterals;

QList<qint64> ids(const QList<OnSaleProductInfo> &products) {
    QList<qint64> numbers;
    for (const OnSaleProductInfo &product : products)
        numbers.append(product.product_id);
    return numbers;
}

QJsonObject product(qint64 id, const QString &name) {
    return {{u"product_id"_s, id}, {u"product_name"_s, name}};
}

// Shared services, a library and a marketing center whose store is a klv-store serving the marketing fixture.
class MarketingCenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(test::fixtureFolder(u"marketing/store.json"_s), catalog.filePath(u"store.json"_s)));
        ASSERT_TRUE(store.start()) << store.errorString().toStdString();
        Configuration configuration = Configuration::fromEnvironment();
        configuration.storeUrl = store.url();
        services = std::make_unique<Services>(configuration, alerts);
        ASSERT_TRUE(QDir().mkpath(services->locations().logFolderURL));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(services->locations().productCacheFileURL).path()));
        library = std::make_unique<ProductLibrary>(*services);
        marketing = std::make_unique<MarketingCenter>(*services, *library);
    }

    // Sends a request and waits for the signal that ends it; nothing when it never ends.
    template <typename Finished>
    std::optional<MarketingOutcome> load(void (MarketingCenter::*request)(), Finished finished) {
        std::optional<MarketingOutcome> outcome;
        QObject receiver;
        QObject::connect(marketing.get(), finished, &receiver, [&](MarketingOutcome result) { outcome = result; });
        (marketing.get()->*request)();
        waitUntil([&] { return outcome.has_value(); });
        return outcome;
    }
    std::optional<MarketingOutcome> loadMarketingInfo() {
        return load(&MarketingCenter::requestMarketingInfo, &MarketingCenter::marketingInfoFinished);
    }
    std::optional<MarketingOutcome> loadSaleInfo() {
        return load(&MarketingCenter::requestSaleInfo, &MarketingCenter::saleInfoFinished);
    }
    // Records each emission of a signal as the list of its arguments.
    template <typename Signal> std::shared_ptr<QList<QVariantList>> record(Signal signal) {
        auto emitted = std::make_shared<QList<QVariantList>>();
        QObject::connect(marketing.get(), signal, marketing.get(), [emitted](const auto &...arguments) {
            emitted->append(QVariantList{QVariant::fromValue(arguments)...});
        });
        return emitted;
    }
    void editMarketing(const std::function<void(QJsonObject &)> &edit) const {
        ASSERT_TRUE(test::editCatalog(catalog.path(), [&edit](QJsonObject &root) {
            QJsonObject content = root[u"marketing"].toObject();
            edit(content);
            root[u"marketing"] = content;
        }));
    }
    QString logText() const {
        QFile file(services->locations().logFileURL);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    QTemporaryDir catalog;
    storeservice::StoreProcess store{catalog.path()};
    std::unique_ptr<Services> services;
    std::unique_ptr<ProductLibrary> library;
    std::unique_ptr<MarketingCenter> marketing;
};

TEST_F(MarketingCenterTest, ListsOnlyGrowKeepingTheFirstOfEachNumberAndLoseOwnedFreeProducts) {
    const auto saleChanged = record(&MarketingCenter::saleListChanged);
    const auto freeChanged = record(&MarketingCenter::freeListChanged);
    const auto enabled = record(&MarketingCenter::appMenuEnabled);
    const auto announced = record(&MarketingCenter::saleNotificationRequested);
    ASSERT_EQ(loadMarketingInfo(), MarketingOutcome::succeeded);
    EXPECT_EQ(ids(marketing->saleOfTheDayPList()), (QList<qint64>{9001, 9002}));
    EXPECT_EQ(ids(marketing->freeProductList()), (QList<qint64>{9101, 9102}));
    EXPECT_EQ(*announced, (QList<QVariantList>{{u"Sale of the Day"_s, u"30% Off"_s}}));
    ASSERT_EQ(enabled->size(), 2);
    EXPECT_EQ(enabled->at(0).at(0).value<appMenuIndex>(), appMenuIndex::saleOfTheDayAppMenu);
    EXPECT_EQ(enabled->at(1).at(0).value<appMenuIndex>(), appMenuIndex::freeProductAppMenu);

    editMarketing([](QJsonObject &content) {
        content[u"saleItemsInfo"] = QJsonArray{product(9002, u"Renamed Bars"_s), product(9003, u"Grid Wipes"_s),
                                               product(9001, u"Aurora Glow"_s), product(9003, u"Twice"_s)};
    });
    ASSERT_EQ(loadMarketingInfo(), MarketingOutcome::succeeded);
    EXPECT_EQ(ids(marketing->saleOfTheDayPList()), (QList<qint64>{9001, 9002, 9003}));
    EXPECT_EQ(marketing->saleOfTheDayPList().at(1).product_name, u"Cinematic Bars"_s);
    EXPECT_EQ(marketing->saleOfTheDayPList().at(2).product_name, u"Grid Wipes"_s);
    ASSERT_EQ(loadMarketingInfo(), MarketingOutcome::succeeded);
    EXPECT_EQ(saleChanged->size(), 2) << "an answer that adds nothing changes nothing";
    EXPECT_EQ(announced->size(), 3) << "every sale information is announced";

    // The library may arrive after the marketing answer.
    OutlineViewItem owned;
    owned.product_id = 9102;
    ASSERT_FALSE(ProductCache::save(services->locations().productCacheFileURL, {owned}));
    ASSERT_TRUE(library->loadProductCache());
    EXPECT_EQ(ids(marketing->freeProductList()), QList<qint64>{9101});
    ASSERT_EQ(loadMarketingInfo(), MarketingOutcome::succeeded);
    EXPECT_EQ(ids(marketing->freeProductList()), QList<qint64>{9101}) << "offered again, still left out";
    EXPECT_EQ(freeChanged->size(), 2);
}

TEST_F(MarketingCenterTest, SaleInformationSetsDiscountEndDateAndCountdown) {
    const auto announced = record(&MarketingCenter::saleNotificationRequested);
    editMarketing([](QJsonObject &content) {
        content[u"saleInfo"] = QJsonObject{{u"sale_title"_s, u"Throw Back Thursday"_s},
                                           {u"discount_amount"_s, u"+45"_s},
                                           {u"end_date"_s, u"2024-06-03"_s}};
    });
    ASSERT_EQ(loadSaleInfo(), MarketingOutcome::succeeded);
    EXPECT_EQ(marketing->saleTitle(), u"Throw Back Thursday"_s);
    EXPECT_EQ(marketing->saleDiscountPercent(), 45);
    EXPECT_EQ(marketing->saleEndDate(), u"2024-06-03"_s);
    EXPECT_EQ(announced->last(), (QVariantList{u"Throw Back Thursday"_s, u"45% Off"_s}));
    const QTimeZone pacific("America/Los_Angeles");
    EXPECT_EQ(marketing->countDownDate(QDateTime(QDate(2024, 6, 1), QTime(3, 0), pacific), pacific),
              u"45% OFF - 1d : 21h : 0m : 0s"_s);
    EXPECT_TRUE(marketing->saleOfTheDayPList().isEmpty()) << "the sale information carries no products";

    const QList<std::pair<QJsonValue, qint64>> discounts{
        {u"30"_s, 30}, {u"-5"_s, -5},     {u"0030"_s, 30},
        {u"30%"_s, 0}, {u" 30"_s, 0},     {u""_s, 0},
        {30, 0},       {QJsonValue(), 0}, {u"99999999999999999999"_s, 0}};
    for (const auto &[discount, percent] : discounts) {
        marketing->setSaleInfo({{u"discount_amount"_s, discount}, {u"end_date"_s, u"someday"_s}});
        EXPECT_EQ(marketing->saleDiscountPercent(), percent) << discount.toString().toStdString();
        EXPECT_EQ(marketing->countDownDate(), QString::number(percent) + u"% OFF - 0d : 0h : 0m : 0s"_s);
    }
    EXPECT_EQ(logText().count(u"discount_amount is not a decimal integer"_s), 6);
    EXPECT_TRUE(logText().contains(u"the discount counts as 0: 30\n"_s)) << "a number is not the text of one";
}

TEST_F(MarketingCenterTest, RefusedAndMissingAnswersChangeNothing) {
    ASSERT_EQ(loadMarketingInfo(), MarketingOutcome::succeeded);
    editMarketing([](QJsonObject &content) {
        content[u"answers"] = QJsonObject{
            {u"marketingInfo"_s, QJsonObject{{u"status"_s, 1}, {u"saleItemsInfo"_s, QJsonArray{product(1, u"X"_s)}}}},
            {u"saleInfo"_s, QJsonObject{{u"status"_s, false}, {u"msg"_s, u"No sale"_s}}}};
    });
    EXPECT_EQ(loadMarketingInfo(), MarketingOutcome::refused) << "only the boolean true is success";
    EXPECT_EQ(loadSaleInfo(), MarketingOutcome::refused);
    EXPECT_EQ(ids(marketing->saleOfTheDayPList()), (QList<qint64>{9001, 9002}));
    EXPECT_EQ(marketing->saleDiscountPercent(), 30);
    EXPECT_TRUE(logText().contains(u"Error while get sale info with error : No sale"_s));

    const QString address = store.url();
    // A kept-alive connection would hold the store's stop up.
    services->network().clearConnectionCache();
    ASSERT_TRUE(store.stop());
    EXPECT_EQ(loadMarketingInfo(), MarketingOutcome::noAnswer);
    EXPECT_EQ(loadSaleInfo(), MarketingOutcome::noAnswer);
    ASSERT_EQ(alerts.shown.size(), 2);
    // The alert names no address; the log keeps it, named by its service and type.
    EXPECT_EQ(alerts.shown[0].message, u"Failed to request the get marketing info"_s);
    EXPECT_TRUE(logText().contains(u"Failed to request the get marketing info " + address +
                                   u"/klv-app-marketing/ (marketingInfo)"_s));
    EXPECT_EQ(alerts.shown[1].message, u"Failed to request the sale info"_s);
    EXPECT_EQ(alerts.shown[1].title, u"Alert"_s);
    EXPECT_EQ(ids(marketing->freeProductList()), (QList<qint64>{9101, 9102}));
}

} // namespace
} // namespace klv
