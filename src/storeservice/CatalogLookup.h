#pragma once

#include <optional>

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QtGlobal>

#include "storeservice/StoreAnswer.h"

namespace klv::storeservice {

// Look-ups that several request types share: who the customer is, which product a request names, scripted answers,
// and the "{store}" placeholder that lets one catalog name its own files wherever the store runs.
class CatalogLookup final {
public:
    // The account whose "email" is exactly that text.
    static std::optional<QJsonObject> account(const QJsonObject &content, const QString &email);
    // The first product with that "product_id".
    static std::optional<QJsonObject> product(const QJsonObject &content, qint64 productId);
    static bool owns(const QJsonObject &account, const QJsonObject &product);
    // The answer an account's or a product's "answers" script for this request type, if any.
    static std::optional<StoreAnswer> scripted(const QJsonObject &owner, const QString &requestType);
    // Every "{store}" in the value's texts, at any depth, replaced by the store's address.
    static QJsonValue withStoreUrl(const QJsonValue &value, const QString &storeUrl);
};

} // namespace klv::storeservice
