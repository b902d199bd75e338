#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

namespace klv {

class LogFile;

// A store answer's top-level JSON object; nothing for any other top level. Parse errors are logged.
std::optional<QJsonObject> decodeJSONObject(const QByteArray &body, LogFile &log);

} // namespace klv
