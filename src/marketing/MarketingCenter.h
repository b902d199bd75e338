#pragma once

#include "library/OnSaleProductInfo.h"
#include "library/ProductEnums.h"
#include "marketing/MarketingAnswer.h"
#include "marketing/MarketingOutcome.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QTimer>

namespace klv {

class ProductLibrary;
class Services;
struct StoreResponse;

// The store's marketing: the sale of the day with its title, discount and end date, and the free products the
// customer does not own yet. Both lists only grow; later answers add products not listed yet. Lives on the main
// thread; the window and the command-line client read the values and follow the signals.
class MarketingCenter final : public QObject {
    Q_OBJECT
public:
    MarketingCenter(Services &services, ProductLibrary &library, QObject *parent = nullptr);

    // "marketingInfo": the sale list, the sale information and the free list.
    void requestMarketingInfo();
    // "saleInfo": the sale information alone.
    void requestSaleInfo();
    // Asks for the sale information again every six hours until stopped; starting twice keeps one timer.
    void startSaleRefresh();
    void stopSaleRefresh();
    bool isSaleRefreshActive() const { return m_saleRefresh.isActive(); }
    // Processing of the answers' parts; each may be given store objects directly.
    void setSaleItems(const QJsonArray &items);
    void setFreeItems(const QJsonArray &items);
    void setSaleInfo(const QJsonObject &info);
    // Drops the free products that the customer's library already holds.
    void removeOwnedFreeProducts();

    const QList<OnSaleProductInfo> &saleOfTheDayPList() const { return m_saleOfTheDayPList; }
    const QList<OnSaleProductInfo> &freeProductList() const { return m_freeProductList; }
    const QString &saleTitle() const { return m_saleTitle; }
    qint64 saleDiscountPercent() const { return m_saleDiscountPercent; }
    // As the store sent it, "yyyy-MM-dd".
    const QString &saleEndDate() const { return m_saleEndDate; }
    // The banner's countdown now, on this machine's calendar.
    QString countDownDate() const;
    // The countdown at any moment on any calendar.
    QString countDownDate(const QDateTime &now, const QTimeZone &calendarZone) const;
    // What the sale section shows instead of an empty list (two lines); empty while there is a sale.
    QStringList saleSectionPlaceholder() const;
    // What the free section shows instead of an empty list; empty while there are free products.
    QString freeSectionPlaceholder() const;

Q_SIGNALS:
    void saleListChanged();
    void freeListChanged();
    void saleInfoChanged();
    // A section of the main window has its data now.
    void appMenuEnabled(klv::appMenuIndex section, bool enabled);
    // The content of the "buySale" notification: the sale title and, for example, "30% Off".
    void saleNotificationRequested(const QString &title, const QString &subtitle);
    // Once a second while there is a sale, whatever shows it.
    void countdownChanged(const QString &text);
    void marketingInfoFinished(klv::MarketingOutcome outcome, const QString &message);
    void saleInfoFinished(klv::MarketingOutcome outcome, const QString &message);

private:
    void handleMarketingInfo(const StoreResponse &response, const QString &requestUrl);
    void handleSaleInfo(const StoreResponse &response, const QString &requestUrl);
    void applySaleItems(const MarketingAnswer::Products &items);
    void applyFreeItems(const MarketingAnswer::Products &items);
    void applySale(const MarketingAnswer::Sale &sale);
    bool appendProducts(QList<OnSaleProductInfo> &list, const MarketingAnswer::Products &read) const;
    bool dropOwnedFreeProducts();

    Services &m_services;
    ProductLibrary &m_library;
    QList<OnSaleProductInfo> m_saleOfTheDayPList;
    QList<OnSaleProductInfo> m_freeProductList;
    QString m_saleTitle;
    qint64 m_saleDiscountPercent = 0;
    QString m_saleEndDate;
    QTimer m_saleRefresh;
};

} // namespace klv
