#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace klv::storeservice {

// The body a handler answers with. Usually a JSON object, but a catalog may script any raw body so tests can see
// how the app copes with answers a real store should never send.
class StoreAnswer final {
public:
    static StoreAnswer object(const QJsonObject &object);
    // The object with one more member, `key`, holding the elements as an array. Written element by element: as one
    // tree, an answer of a quarter of a million products takes the store longer to build than the app to read.
    static StoreAnswer objectWithArray(const QJsonObject &object, const QString &key,
                                       const QList<QJsonObject> &elements);
    // {"status": false, "msg": message}
    static StoreAnswer failure(const QString &message);
    // A string goes out verbatim as the body; any other JSON value is serialized.
    static StoreAnswer scripted(const QJsonValue &value);

    const QByteArray &body() const { return m_body; }

private:
    explicit StoreAnswer(QByteArray body);

    QByteArray m_body;
};

} // namespace klv::storeservice
