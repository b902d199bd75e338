#include "storeservice/RequestLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

RequestLog::RequestLog(const QString &path)
    : m_file(path) {}

std::optional<QString> RequestLog::open() {
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return u"cannot open the request log %1: %2"_s.arg(m_file.fileName(), m_file.errorString());
    }
    return std::nullopt;
}

void RequestLog::append(const DecodedRequest &request) {
    const QJsonObject entry{{u"endpoint"_s, request.endpoint},
                            {u"rt"_s, request.requestType},
                            {u"params"_s, QJsonArray::fromStringList(request.parameters)},
                            {u"appV"_s, request.appVersion}};
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    const std::lock_guard lock(m_mutex);
    m_file.write(line);
    m_file.flush();
}

} // namespace klv::storeservice
