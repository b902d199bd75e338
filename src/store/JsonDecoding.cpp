#include "store/JsonDecoding.h"

#include "store/LogFile.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace klv {

std::optional<QJsonObject> decodeJSONObject(const QByteArray &body, LogFile &log) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || document.isNull()) {
        log.appendLog(u"Error : JSONSerialization Error: " + error.errorString() + u" at offset " +
                      QString::number(error.offset));
        return std::nullopt;
    }
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

} // namespace klv
