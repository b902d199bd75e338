#include "storeservice/CatalogLookup.h"

#include <QJsonArray>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

std::optional<QJsonObject> CatalogLookup::account(const QJsonObject &content, const QString &email) {
    for (const auto &entry : content.value(u"accounts"_s).toArray()) {
        const QJsonObject candidate = entry.toObject();
        const QJsonValue known = candidate.value(u"email"_s);
        if (known.isString() && known.toString() == email) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<QJsonObject> CatalogLookup::product(const QJsonObject &content, qint64 productId) {
    for (const auto &entry : content.value(u"products"_s).toArray()) {
        const QJsonObject candidate = entry.toObject();
        if (candidate.value(u"product_id"_s) == QJsonValue(productId)) {
            return candidate;
        }
    }
    return std::nullopt;
}

bool CatalogLookup::owns(const QJsonObject &account, const QJsonObject &product) {
    return account.value(u"products"_s).toArray().contains(product.value(u"product_id"_s));
}

std::optional<StoreAnswer> CatalogLookup::scripted(const QJsonObject &owner, const QString &requestType) {
    const QJsonObject answers = owner.value(u"answers"_s).toObject();
    if (!answers.contains(requestType)) {
        return std::nullopt;
    }
    return StoreAnswer::scripted(answers.value(requestType));
}

QJsonValue CatalogLookup::withStoreUrl(const QJsonValue &value, const QString &storeUrl) {
    if (value.isString()) {
        return value.toString().replace(u"{store}"_s, storeUrl);
    }
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            array[i] = withStoreUrl(array.at(i), storeUrl);
        }
        return array;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto member = object.begin(); member != object.end(); ++member) {
            *member = withStoreUrl(*member, storeUrl);
        }
        return object;
    }
    return value;
}

} // namespace klv::storeservice
