#pragma once

#include <optional>

#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>

// Store answers and the product cache are read leniently: a value of another JSON type counts as missing, and
// numbers are converted only when the conversion is exact.
namespace klv::json {

// A JSON boolean, or a JSON number that is exactly 0 or 1.
std::optional<bool> toBool(const QJsonValue &value);
// An integral JSON number that fits in 64 bits; booleans and numeric strings are not integers.
std::optional<qint64> toInt64(const QJsonValue &value);
std::optional<double> toDouble(const QJsonValue &value);
std::optional<QString> toText(const QJsonValue &value);
// A JSON array whose elements are all strings.
std::optional<QStringList> toTextList(const QJsonValue &value);

bool boolOr(const QJsonObject &object, QLatin1StringView key, bool fallback = false);
qint64 int64Or(const QJsonObject &object, QLatin1StringView key, qint64 fallback = 0);
double doubleOr(const QJsonObject &object, QLatin1StringView key, double fallback = 0.0);
QString textOr(const QJsonObject &object, QLatin1StringView key, const QString &fallback = {});
QStringList textListOr(const QJsonObject &object, QLatin1StringView key, const QStringList &fallback = {});

} // namespace klv::json
