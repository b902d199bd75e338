#include "StoreAnswer.h"

#include <utility>

#include <QJsonArray>
#include <QJsonDocument>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

StoreAnswer::StoreAnswer(QByteArray body)
    : m_body(std::move(body)) {}

StoreAnswer StoreAnswer::object(const QJsonObject &object) {
    return StoreAnswer(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

StoreAnswer StoreAnswer::failure(const QString &message) {
    return object({{u"status"_s, false}, {u"msg"_s, message}});
}

StoreAnswer StoreAnswer::scripted(const QJsonValue &value) {
    if (value.isString()) {
        return StoreAnswer(value.toString().toUtf8());
    }
    // QJsonDocument only writes arrays and objects: wrap scalars in an array and take the brackets off again.
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return StoreAnswer(wrapped.sliced(1, wrapped.size() - 2));
}

} // namespace klv::storeservice
