#include "library/OnSaleProductInfo.h"

#include <QHashFunctions>

#include "store/LenientJson.h"

using namespace Qt::StringLiterals;

namespace klv {

namespace {

constexpr auto kProductId = "product_id"_L1;
constexpr auto kProductName = "product_name"_L1;
constexpr auto kProductImage = "product_image"_L1;
constexpr auto kProductLink = "product_link"_L1;
constexpr auto kProductVimeoId = "product_vimeoID"_L1;
constexpr auto kProductShortDesc = "product_shortDesc"_L1;
constexpr auto kProductLongDesc = "product_longDesc"_L1;
constexpr auto kProductPrice = "product_price"_L1;
constexpr auto kSaleVimeoId = "sale_vimeoID"_L1;
constexpr auto kSaleAmmount = "sale_ammount"_L1;

} // namespace

size_t qHash(const OnSaleProductInfo &info, size_t seed) {
    // Qt's qHash(double) maps -0.0 to 0.0, which equality requires.
    return qHashMulti(seed, info.product_id, info.product_name, info.product_image, info.product_link,
                      info.product_vimeoID, info.product_shortDesc, info.product_longDesc, info.product_price,
                      info.sale_vimeoID, info.sale_ammount);
}

OnSaleProductInfo makeOnSaleProductInfo(const QJsonObject &dictionary) {
    OnSaleProductInfo info;
    info.product_id = json::int64Or(dictionary, kProductId);
    info.product_name = json::textOr(dictionary, kProductName);
    info.product_image = json::textOr(dictionary, kProductImage);
    info.product_link = json::textOr(dictionary, kProductLink);
    info.product_vimeoID = json::int64Or(dictionary, kProductVimeoId);
    info.product_shortDesc = json::textOr(dictionary, kProductShortDesc);
    info.product_longDesc = json::textOr(dictionary, kProductLongDesc);
    info.product_price = json::doubleOr(dictionary, kProductPrice);
    info.sale_vimeoID = json::int64Or(dictionary, kSaleVimeoId);
    info.sale_ammount = json::int64Or(dictionary, kSaleAmmount);
    return info;
}

QJsonObject onSaleProductDictionary(const OnSaleProductInfo &info) {
    QJsonObject dictionary;
    dictionary.insert(kProductId, info.product_id);
    dictionary.insert(kProductName, info.product_name);
    dictionary.insert(kProductImage, info.product_image);
    dictionary.insert(kProductLink, info.product_link);
    dictionary.insert(kProductVimeoId, info.product_vimeoID);
    dictionary.insert(kProductShortDesc, info.product_shortDesc);
    dictionary.insert(kProductLongDesc, info.product_longDesc);
    dictionary.insert(kProductPrice, info.product_price);
    dictionary.insert(kSaleVimeoId, info.sale_vimeoID);
    dictionary.insert(kSaleAmmount, info.sale_ammount);
    return dictionary;
}

} // namespace klv
