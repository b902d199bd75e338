#include "marketing/MarketingAnswer.h"

#include "marketing/MarketingOutcome.h"
#include "store/LenientJson.h"

#include <QJsonDocument>
#include <QSet>

#include <algorithm>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// A value as JSON text, for log lines.
QString compact(const QJsonValue &value) {
    if (value.isUndefined())
        return u"nothing"_s;
    // QJsonDocument only writes arrays and objects: wrap the value and take the brackets off again.
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.sliced(1, wrapped.size() - 2));
}

// A decimal integer with an optional sign, nothing else: no blanks, no fraction, no overflow.
std::optional<qint64> decimalInteger(const QString &text) {
    const bool negative = text.startsWith(u'-');
    const QString digits = negative || text.startsWith(u'+') ? text.sliced(1) : text;
    if (digits.isEmpty() ||
        !std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool valid = false;
    const qint64 value = (negative ? u'-' + digits : digits).toLongLong(&valid);
    return valid ? std::optional(value) : std::nullopt;
}

QJsonArray arrayOrEmpty(const QJsonObject &answer, QLatin1StringView key) {
    const QJsonValue value = answer.value(key);
    return value.isArray() ? value.toArray() : QJsonArray();
}

QJsonObject objectOrEmpty(const QJsonObject &answer, QLatin1StringView key) {
    const QJsonValue value = answer.value(key);
    return value.isObject() ? value.toObject() : QJsonObject();
}

// The answer with its status read; its content only when the status is the boolean true.
MarketingAnswer withStatus(const QJsonObject &answer) {
    MarketingAnswer decoded;
    const QJsonValue status = answer.value("status"_L1);
    if (!status.isBool() || !status.toBool()) {
        decoded.statusIsBoolean = status.isBool();
        decoded.message = json::textOr(answer, "msg"_L1);
        decoded.refusal = refusalReason(status, decoded.message);
    }
    return decoded;
}

} // namespace

MarketingAnswer MarketingAnswer::decodeMarketingInfo(const QJsonObject &answer) {
    MarketingAnswer decoded = withStatus(answer);
    if (decoded.refusal)
        return decoded;
    decoded.saleItems = readProducts(arrayOrEmpty(answer, "saleItemsInfo"_L1));
    decoded.sale = readSale(objectOrEmpty(answer, "saleInfo"_L1));
    decoded.freeItems = readProducts(arrayOrEmpty(answer, "freeItemInfo"_L1));
    return decoded;
}

MarketingAnswer MarketingAnswer::decodeSaleInfo(const QJsonObject &answer) {
    MarketingAnswer decoded = withStatus(answer);
    if (!decoded.refusal)
        decoded.sale = readSale(objectOrEmpty(answer, "data"_L1));
    return decoded;
}

MarketingAnswer::Products MarketingAnswer::readProducts(const QJsonArray &items) {
    Products read;
    QSet<qint64> listed;
    for (const QJsonValue &item : items) {
        const QJsonObject object = item.toObject();
        // Without its number a product could neither be told apart from the others nor opened.
        const std::optional<qint64> id = json::toInt64(object.value("product_id"_L1));
        if (!id) {
            read.skipped.append(compact(item));
            continue;
        }
        if (listed.contains(*id))
            continue;
        listed.insert(*id);
        read.products.append(makeOnSaleProductInfo(object));
    }
    return read;
}

MarketingAnswer::Sale MarketingAnswer::readSale(const QJsonObject &info) {
    const QJsonValue discount = info.value("discount_amount"_L1);
    return {json::textOr(info, "sale_title"_L1), decimalInteger(json::toText(discount).value_or(QString())),
            compact(discount), json::textOr(info, "end_date"_L1)};
}

} // namespace klv
