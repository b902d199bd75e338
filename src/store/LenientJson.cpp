#include "store/LenientJson.h"

#include <cmath>

#include <QJsonArray>
#include <QVariant>

namespace klv::json {

namespace {

// Bounds of qint64 as doubles: -2^63 is representable, 2^63 is the first value past the top.
constexpr double kInt64Low = -9223372036854775808.0;
constexpr double kInt64End = 9223372036854775808.0;

} // namespace

std::optional<bool> toBool(const QJsonValue &value) {
    if (value.isBool())
        return value.toBool();
    const std::optional<qint64> number = toInt64(value);
    if (number == 0 || number == 1)
        return *number == 1;
    return std::nullopt;
}

std::optional<qint64> toInt64(const QJsonValue &value) {
    if (!value.isDouble())
        return std::nullopt;
    // A number parsed as an integer is kept as one; going through double would lose digits above 2^53.
    const QVariant stored = value.toVariant();
    if (stored.typeId() == QMetaType::LongLong)
        return stored.toLongLong();
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < kInt64Low || number >= kInt64End)
        return std::nullopt;
    return static_cast<qint64>(number);
}

std::optional<double> toDouble(const QJsonValue &value) {
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

std::optional<QString> toText(const QJsonValue &value) {
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QStringList> toTextList(const QJsonValue &value) {
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QStringList texts;
    texts.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isString())
            return std::nullopt;
        texts.append(element.toString());
    }
    return texts;
}

bool boolOr(const QJsonObject &object, QLatin1StringView key, bool fallback) {
    return toBool(object.value(key)).value_or(fallback);
}

qint64 int64Or(const QJsonObject &object, QLatin1StringView key, qint64 fallback) {
    return toInt64(object.value(key)).value_or(fallback);
}

double doubleOr(const QJsonObject &object, QLatin1StringView key, double fallback) {
    return toDouble(object.value(key)).value_or(fallback);
}

QString textOr(const QJsonObject &object, QLatin1StringView key, const QString &fallback) {
    return toText(object.value(key)).value_or(fallback);
}

QStringList textListOr(const QJsonObject &object, QLatin1StringView key, const QStringList &fallback) {
    return toTextList(object.value(key)).value_or(fallback);
}

} // namespace klv::json
