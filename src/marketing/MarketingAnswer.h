#pragma once

#include "library/OnSaleProductInfo.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace klv {

// The store's marketing answers ("marketingInfo", "saleInfo"), read as the marketing center takes them: either a
// refusal and nothing else, or the sale and the product lists.
struct MarketingAnswer {
    // A product list as it is kept: products with an integer number, each number once, in order.
    struct Products {
        QList<OnSaleProductInfo> products;
        // The items left out for want of a number, as JSON text for the log.
        QStringList skipped;
    };
    struct Sale {
        QString title;
        // Nothing when "discount_amount" is not a decimal integer; discountText says what it was instead.
        std::optional<qint64> discountPercent;
        QString discountText;
        QString endDate;
    };

    // Set when the status is anything but the boolean true: why, in words for the customer.
    std::optional<QString> refusal;
    bool statusIsBoolean = true;
    QString message;
    Products saleItems;
    Products freeItems;
    Sale sale;

    static MarketingAnswer decodeMarketingInfo(const QJsonObject &answer);
    static MarketingAnswer decodeSaleInfo(const QJsonObject &answer);
    static Products readProducts(const QJsonArray &items);
    static Sale readSale(const QJsonObject &info);
};

} // namespace klv
