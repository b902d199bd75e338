#pragma once

#include <QJsonObject>
#include <QString>

namespace klv {

// One product of the marketing answers (sale of the day, free products).
struct OnSaleProductInfo {
    qint64 product_id = 0;
    QString product_name;
    QString product_image;
    QString product_link;
    qint64 product_vimeoID = 0;
    QString product_shortDesc;
    QString product_longDesc;
    double product_price = 0.0;
    qint64 sale_vimeoID = 0;
    qint64 sale_ammount = 0;

    friend bool operator==(const OnSaleProductInfo &, const OnSaleProductInfo &) = default;
};

size_t qHash(const OnSaleProductInfo &info, size_t seed = 0);

OnSaleProductInfo makeOnSaleProductInfo(const QJsonObject &dictionary);
QJsonObject onSaleProductDictionary(const OnSaleProductInfo &info);

} // namespace klv
