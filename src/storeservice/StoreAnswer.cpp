#include "storeservice/StoreAnswer.h"

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

StoreAnswer StoreAnswer::objectWithArray(const QJsonObject &object, const QString &key,
                                         const QList<QJsonObject> &elements) {
    QByteArray body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    body.chop(1);
    if (!object.isEmpty()) {
        body += ',';
    }
    // The key written as JSON writes it, escapes included.
    const QByteArray keyText = QJsonDocument(QJsonObject{{key, 0}}).toJson(QJsonDocument::Compact);
    body += keyText.sliced(1, keyText.size() - 3);
    body += '[';
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (i > 0) {
            body += ',';
        }
        body += QJsonDocument(elements[i]).toJson(QJsonDocument::Compact);
    }
    body += "]}";
    return StoreAnswer(std::move(body));
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
