#include "ProductRequests.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>

#include "CatalogLookup.h"

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

QJsonObject withStoreUrl(QJsonObject product, const QString &storeUrl) {
    const QJsonValue picture = product.value(u"product_image_url"_s);
    if (picture.isString()) {
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
    // Indexed once: a catalog of a quarter of a million products is looked up once per owned id.
    QHash<double, QList<qsizetype>> positionsById;
    for (qsizetype i = 0; i < products.size(); ++i) {
        positionsById[products.at(i).toObject().value(u"product_id"_s).toDouble()].append(i);
    }
    QJsonArray data;
    for (const auto &owned : account->value(u"products"_s).toArray()) {
        if (!owned.isDouble()) {
            continue;
        }
        for (const qsizetype position : positionsById.value(owned.toDouble())) {
            data.append(withStoreUrl(products.at(position).toObject(), request.storeUrl));
        }
    }
    return StoreAnswer::object({{u"status"_s, true}, {u"msg"_s, u"Customer products"_s}, {u"data"_s, data}});
}

} // namespace klv::storeservice
