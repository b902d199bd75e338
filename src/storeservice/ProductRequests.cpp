#include "storeservice/ProductRequests.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QList>

#include "storeservice/CatalogLookup.h"

#include <algorithm>
#include <utility>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

QJsonObject withStoreUrl(QJsonObject product, const QString &storeUrl) {
    const QJsonValue picture = product.value(u"product_image_url"_s);
    // Changed only where the address is to be filled in: a changed object is copied.
    if (picture.isString() && picture.toString().contains(u"{store}"_s)) {
        product.insert(u"product_image_url"_s, CatalogLookup::withStoreUrl(picture, storeUrl));
    }
    return product;
}

} // namespace

void ProductRequests::registerWith(RequestRouter &router, const QString &endpoint) {
    router.addHandler(endpoint, u"getProductCommitNumber"_s, &ProductRequests::commitNumber);
    router.addHandler(endpoint, u"secureCustomerProduct"_s, &ProductRequests::customerProducts);
}

StoreAnswer ProductRequests::commitNumber(const DecodedRequest &request, Catalog &catalog) {
    if (request.parameters.size() != 1) {
        return StoreAnswer::failure(u"getProductCommitNumber takes p2 (the customer's e-mail), got %1 parameters"_s.arg(
            request.parameters.size()));
    }
    const QJsonObject content = catalog.content();
    const auto account = CatalogLookup::account(content, request.parameters.at(0));
    if (!account) {
        return StoreAnswer::failure(u"Unknown customer e-mail"_s);
    }
    if (auto answer = CatalogLookup::scripted(*account, request.requestType)) {
        return *answer;
    }
    QJsonObject answer{{u"status"_s, true}, {u"msg"_s, u"Library commit number"_s}};
    // Passed on whatever its type, so a catalog can send a number where the app expects text.
    if (content.contains(u"commitID"_s)) {
        answer.insert(u"commitID"_s, content.value(u"commitID"_s));
    }
    return StoreAnswer::object(answer);
}

StoreAnswer ProductRequests::customerProducts(const DecodedRequest &request, Catalog &catalog) {
    if (request.parameters.size() != 2) {
        return StoreAnswer::failure(
            u"secureCustomerProduct takes p2 (the customer's e-mail) and p3 (\"3\"), got %1 parameters"_s.arg(
                request.parameters.size()));
    }
    if (request.parameters.at(1) != u"3"_s) {
        return StoreAnswer::failure(
            u"secureCustomerProduct expects p3 \"3\", got \"%1\""_s.arg(request.parameters.at(1)));
    }
    // One read, so the account and the products come from the same version of the catalog.
    const QJsonObject content = catalog.content();
    const auto account = CatalogLookup::account(content, request.parameters.at(0));
    if (!account) {
        return StoreAnswer::failure(u"Unknown customer e-mail"_s);
    }
    if (auto answer = CatalogLookup::scripted(*account, request.requestType)) {
        return *answer;
    }
    const QJsonArray products = content.value(u"products"_s).toArray();
    // Indexed once, by number and then catalog order: a catalog of a quarter of a million products is looked up
    // once per owned number.
    QList<std::pair<double, qsizetype>> positionsById;
    positionsById.reserve(products.size());
    for (qsizetype i = 0; i < products.size(); ++i) {
        positionsById.append({products.at(i).toObject().value(u"product_id"_s).toDouble(), i});
    }
    std::sort(positionsById.begin(), positionsById.end());
    QList<QJsonObject> data;
    for (const auto &owned : account->value(u"products"_s).toArray()) {
        if (!owned.isDouble()) {
            continue;
        }
        auto position = std::lower_bound(positionsById.cbegin(), positionsById.cend(),
                                         std::pair<double, qsizetype>(owned.toDouble(), 0));
        for (; position != positionsById.cend() && position->first == owned.toDouble(); ++position) {
            data.append(withStoreUrl(products.at(position->second).toObject(), request.storeUrl));
        }
    }
    return StoreAnswer::objectWithArray({{u"status"_s, true}, {u"msg"_s, u"Customer products"_s}}, u"data"_s, data);
}

} // namespace klv::storeservice
