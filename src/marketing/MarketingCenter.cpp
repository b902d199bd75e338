#include "marketing/MarketingCenter.h"

#include "library/ProductLibrary.h"
#include "marketing/SaleCountdown.h"
#include "store/JsonDecoding.h"
#include "store/Services.h"
#include "store/StoreClient.h"

#include <QSet>

#include <algorithm>
#include <memory>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

constexpr int saleRefreshIntervalMs = 6 * 60 * 60 * 1000;

struct Reading {
    std::optional<MarketingAnswer> answer;
    MarketingOutcome outcome = MarketingOutcome::succeeded;
    QString message;
};

// The decoded answer when its status is the boolean true; otherwise the failure, already reported.
Reading readAnswer(Services &services, const StoreResponse &response, const QString &requestUrl,
                   const QString &noAnswerAlert, MarketingAnswer (*decode)(const QJsonObject &)) {
    const Reporter &reporter = services.reporter();
    if (!response.hasBody) {
        // The address is for the log: on screen it is noise, and it may carry the customer's parameters.
        reporter.appendLog(noAnswerAlert + u" "_s + requestUrl);
        reporter.showAlert(u"Alert"_s, noAnswerAlert, u"OK"_s);
        return {std::nullopt, MarketingOutcome::noAnswer,
                u"The store could not be reached: "_s + response.transportError};
    }
    const std::optional<QJsonObject> answer = decodeJSONObject(response.body, services.log());
    if (!answer) {
        reporter.appendLog(u"Failed to convert the data object result from "_s +
                           services.store().endpointAddress(StoreEndpoint::marketing) + u"with url : "_s + requestUrl);
        return {std::nullopt, MarketingOutcome::noAnswer, u"The store's answer could not be read."_s};
    }
    MarketingAnswer decoded = decode(*answer);
    if (decoded.refusal) {
        if (!decoded.statusIsBoolean)
            reporter.appendLog(u"KLV App Error: the marketing answer's status is not a boolean"_s);
        reporter.appendLog(u"Error while get sale info with error : "_s + decoded.message);
        return {std::nullopt, MarketingOutcome::refused,
                u"The store refused the marketing request: "_s + *decoded.refusal};
    }
    return {std::move(decoded), MarketingOutcome::succeeded, {}};
}

} // namespace

MarketingCenter::MarketingCenter(Services &services, ProductLibrary &library, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_library(library) {
    m_saleRefresh.setInterval(saleRefreshIntervalMs);
    connect(&m_saleRefresh, &QTimer::timeout, this, &MarketingCenter::requestSaleInfo);
    connect(&m_services.ticks(), &TickSource::ticked, this, [this] { Q_EMIT countdownChanged(countDownDate()); });
    // Marketing answers may arrive before the library: a free product owned by then leaves the list once the
    // library is known.
    connect(&library, &ProductLibrary::myProductsAvailable, this, [this](bool available) {
        if (available)
            removeOwnedFreeProducts();
    });
}

void MarketingCenter::requestMarketingInfo() {
    auto url = std::make_shared<QString>();
    *url = m_services.store().send(StoreEndpoint::marketing, u"marketingInfo"_s, {}, this,
                                   [this, url](const StoreResponse &response) { handleMarketingInfo(response, *url); });
}

void MarketingCenter::requestSaleInfo() {
    auto url = std::make_shared<QString>();
    *url = m_services.store().send(StoreEndpoint::marketing, u"saleInfo"_s, {}, this,
                                   [this, url](const StoreResponse &response) { handleSaleInfo(response, *url); });
}

void MarketingCenter::startSaleRefresh() {
    if (!m_saleRefresh.isActive())
        m_saleRefresh.start();
}

void MarketingCenter::stopSaleRefresh() {
    m_saleRefresh.stop();
}

void MarketingCenter::handleMarketingInfo(const StoreResponse &response, const QString &requestUrl) {
    const Reading reading = readAnswer(m_services, response, requestUrl, u"Failed to request the get marketing info"_s,
                                       &MarketingAnswer::decodeMarketingInfo);
    if (reading.answer) {
        applySaleItems(reading.answer->saleItems);
        applySale(reading.answer->sale);
        applyFreeItems(reading.answer->freeItems);
    }
    Q_EMIT marketingInfoFinished(reading.outcome, reading.message);
}

void MarketingCenter::handleSaleInfo(const StoreResponse &response, const QString &requestUrl) {
    const Reading reading = readAnswer(m_services, response, requestUrl, u"Failed to request the sale info"_s,
                                       &MarketingAnswer::decodeSaleInfo);
    if (reading.answer)
        applySale(reading.answer->sale);
    Q_EMIT saleInfoFinished(reading.outcome, reading.message);
}

bool MarketingCenter::appendProducts(QList<OnSaleProductInfo> &list, const MarketingAnswer::Products &read) const {
    for (const QString &skipped : read.skipped)
        m_services.reporter().appendLog(u"KLV App Error: skipped a marketing product without an integer "
                                        u"product_id: "_s +
                                        skipped);
    bool appended = false;
    for (const OnSaleProductInfo &product : read.products) {
        if (std::any_of(list.cbegin(), list.cend(),
                        [&](const OnSaleProductInfo &known) { return known.product_id == product.product_id; }))
            continue;
        list.append(product);
        appended = true;
    }
    return appended;
}

void MarketingCenter::setSaleItems(const QJsonArray &items) {
    applySaleItems(MarketingAnswer::readProducts(items));
}

void MarketingCenter::setFreeItems(const QJsonArray &items) {
    applyFreeItems(MarketingAnswer::readProducts(items));
}

void MarketingCenter::setSaleInfo(const QJsonObject &info) {
    applySale(MarketingAnswer::readSale(info));
}

void MarketingCenter::applySaleItems(const MarketingAnswer::Products &items) {
    const bool appended = appendProducts(m_saleOfTheDayPList, items);
    // One beat serves the banner and the status item alike, whichever section shows, for as long as there is a sale.
    if (!m_saleOfTheDayPList.isEmpty())
        m_services.ticks().start();
    Q_EMIT appMenuEnabled(appMenuIndex::saleOfTheDayAppMenu, true);
    if (appended)
        Q_EMIT saleListChanged();
}

void MarketingCenter::applyFreeItems(const MarketingAnswer::Products &items) {
    // An owned product offered again is appended and dropped at once: no change to show.
    const QList<OnSaleProductInfo> before = m_freeProductList;
    appendProducts(m_freeProductList, items);
    Q_EMIT appMenuEnabled(appMenuIndex::freeProductAppMenu, true);
    dropOwnedFreeProducts();
    if (m_freeProductList != before)
        Q_EMIT freeListChanged();
}

void MarketingCenter::removeOwnedFreeProducts() {
    if (dropOwnedFreeProducts())
        Q_EMIT freeListChanged();
}

bool MarketingCenter::dropOwnedFreeProducts() {
    const QList<OutlineViewItem> &library = m_library.libraryProducts();
    if (m_freeProductList.isEmpty() || library.isEmpty())
        return false;
    QSet<qint64> owned;
    for (const OutlineViewItem &record : library)
        owned.insert(record.product_id);
    return m_freeProductList.removeIf([&](const OnSaleProductInfo &free) { return owned.contains(free.product_id); }) >
           0;
}

void MarketingCenter::applySale(const MarketingAnswer::Sale &sale) {
    m_saleTitle = sale.title;
    if (!sale.discountPercent) {
        m_services.reporter().appendLog(u"KLV App Error: the sale's discount_amount is not a decimal integer, the "
                                        u"discount counts as 0: "_s +
                                        sale.discountText);
    }
    m_saleDiscountPercent = sale.discountPercent.value_or(0);
    m_saleEndDate = sale.endDate;
    Q_EMIT saleInfoChanged();
    Q_EMIT saleNotificationRequested(m_saleTitle, QString::number(m_saleDiscountPercent) + u"% Off"_s);
}

QString MarketingCenter::countDownDate() const {
    return countDownDate(m_services.clock()(), QTimeZone::systemTimeZone());
}

QString MarketingCenter::countDownDate(const QDateTime &now, const QTimeZone &calendarZone) const {
    return SaleCountdown::until(m_saleEndDate, now, calendarZone).text(m_saleDiscountPercent);
}

QStringList MarketingCenter::saleSectionPlaceholder() const {
    if (!m_saleOfTheDayPList.isEmpty())
        return {};
    return {u"No sale today"_s, u"We always have our bundle discount. Buy 5 or more products for 25% off"_s};
}

QString MarketingCenter::freeSectionPlaceholder() const {
    return m_freeProductList.isEmpty() ? u"Hurray you got all the freebies"_s : QString();
}

} // namespace klv
