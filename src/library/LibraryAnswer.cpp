#include "library/LibraryAnswer.h"

#include "library/LibraryFilter.h"
#include "store/JsonTextScanner.h"
#include "store/LenientJson.h"

#include <QJsonArray>
#include <QSet>

#include <utility>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// Takes the answer's products one at a time; of two objects with the same number, name and location the first.
class ProductCollector {
public:
    explicit ProductCollector(LibraryAnswer &answer)
        : m_answer(answer) {}

    void add(const QJsonObject &object) {
        const QString name = json::textOr(object, "product_name"_L1);
        if (name.isEmpty()) {
            m_answer.namelessObjects.append(object);
            return;
        }
        const qint64 number = json::int64Or(object, "product_id"_L1);
        const ProductIdentity identity{number, {name, json::textOr(object, "product_location"_L1)}};
        if (m_seen.contains(identity))
            return;
        m_seen.insert(identity);
        if (const QString latest = json::textOr(object, "lastest"_L1); !latest.isEmpty())
            m_answer.latestReleases.insert(number, latest);
        m_answer.products.append(makeOutlineViewItem(object));
        m_answer.nameMap.insert(name, number);
    }

    void finish() { sortByProductName(m_answer.products); }

private:
    using ProductIdentity = std::pair<qint64, std::pair<QString, QString>>;
    LibraryAnswer &m_answer;
    QSet<ProductIdentity> m_seen;
};

std::optional<QString> refusalOf(const QJsonValue &status, const QJsonValue &message) {
    if (status.isBool() && status.toBool())
        return std::nullopt;
    return json::toText(message).value_or(QString());
}

} // namespace

LibraryAnswer LibraryAnswer::decode(const QJsonObject &answer) {
    LibraryAnswer decoded;
    decoded.refusal = refusalOf(answer.value("status"_L1), answer.value("msg"_L1));
    if (decoded.refusal)
        return decoded;
    ProductCollector products(decoded);
    const QJsonArray data = answer.value("data"_L1).toArray();
    for (const QJsonValue &element : data)
        products.add(element.toObject());
    products.finish();
    return decoded;
}

std::optional<LibraryAnswer> LibraryAnswer::read(QByteArrayView body) {
    const auto members = json::objectMemberTexts(body);
    if (!members)
        return std::nullopt;
    // As in a parsed object, the last of two members with the same key counts.
    QHash<QString, QByteArrayView> valueTexts;
    for (const auto &[key, valueText] : *members)
        valueTexts.insert(key, valueText);
    const auto valueOf = [&](const QString &key) -> std::optional<QJsonValue> {
        const auto found = valueTexts.constFind(key);
        return found == valueTexts.cend() ? std::optional<QJsonValue>(QJsonValue(QJsonValue::Undefined))
                                          : json::parseValue(*found);
    };
    const std::optional<QJsonValue> status = valueOf(u"status"_s);
    const std::optional<QJsonValue> message = valueOf(u"msg"_s);
    if (!status || !message)
        return std::nullopt;
    LibraryAnswer decoded;
    decoded.refusal = refusalOf(*status, *message);
    if (decoded.refusal)
        return decoded;
    ProductCollector products(decoded);
    const auto dataText = valueTexts.constFind(u"data"_s);
    if (dataText != valueTexts.cend()) {
        // Anything else than an array holds no products, as in the parsed answer.
        if (const auto elements = json::arrayElementTexts(*dataText)) {
            decoded.products.reserve(elements->size());
            for (const QByteArrayView elementText : *elements) {
                const std::optional<QJsonValue> element = json::parseValue(elementText);
                if (!element)
                    return std::nullopt;
                products.add(element->toObject());
            }
        } else if (!json::parseValue(*dataText)) {
            return std::nullopt;
        }
    }
    products.finish();
    return decoded;
}

} // namespace klv
