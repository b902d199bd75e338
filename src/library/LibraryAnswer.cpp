#include "library/LibraryAnswer.h"

#include "library/LibraryFilter.h"
#include "library/RepeatedTexts.h"
#include "store/JsonTextScanner.h"
#include "store/LenientJson.h"

#include <QJsonArray>
#include <QMultiHash>

#include <algorithm>

#include <utility>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// Takes the answer's products one at a time; of two objects with the same number, name and location the first.
// The look-ups share the record's own texts: a large library must not hold each name twice.
class ProductCollector {
public:
    explicit ProductCollector(LibraryAnswer &answer)
        : m_answer(answer) {}

    void add(const QJsonObject &object) {
        OutlineViewItem record = makeOutlineViewItem(object);
        if (record.product_name.isEmpty()) {
            m_answer.namelessObjects.append(object);
            return;
        }
        if (isKnown(record))
            return;
        m_shared.share(record);
        m_positionsById.insert(record.product_id, m_answer.products.size());
        m_answer.products.append(std::move(record));
    }

    // The look-ups in the store's order (of two products with one name, the later one's number), then the sort.
    void finish() {
        m_positionsById = {};
        m_answer.nameMap.reserve(m_answer.products.size());
        for (const OutlineViewItem &record : std::as_const(m_answer.products)) {
            if (!record.latestRelease.isEmpty())
                m_answer.latestReleases.insert(record.product_id, record.latestRelease);
            m_answer.nameMap.insert(record.product_name, record.product_id);
        }
        sortByProductName(m_answer.products);
    }

private:
    bool isKnown(const OutlineViewItem &record) const {
        const auto same = m_positionsById.equal_range(record.product_id);
        return std::any_of(same.first, same.second, [&](qsizetype at) {
            const OutlineViewItem &known = m_answer.products[at];
            return known.product_name == record.product_name && known.product_location == record.product_location;
        });
    }

    LibraryAnswer &m_answer;
    QMultiHash<qint64, qsizetype> m_positionsById;
    RepeatedTexts m_shared;
};

std::optional<QString> refusalOf(const QJsonValue &status, const QJsonValue &message) {
    if (status.isBool() && status.toBool())
        return std::nullopt;
    return json::toText(message).value_or(QString());
}

// The refusal or the products as they stand in the text; false when the text is not a JSON object or a product
// cannot be read. Nothing read refers to the text afterwards.
bool readProducts(QByteArrayView body, LibraryAnswer &decoded, std::optional<ProductCollector> &products) {
    const auto members = json::objectMemberTexts(body);
    if (!members)
        return false;
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
        return false;
    decoded.refusal = refusalOf(*status, *message);
    if (decoded.refusal)
        return true;
    products.emplace(decoded);
    const auto dataText = valueTexts.constFind(u"data"_s);
    if (dataText == valueTexts.cend())
        return true;
    // Anything else than an array holds no products, as in the parsed answer.
    const auto elements = json::arrayElementTexts(*dataText);
    if (!elements)
        return json::parseValue(*dataText).has_value();
    decoded.products.reserve(elements->size());
    for (const QByteArrayView elementText : *elements) {
        const std::optional<QJsonValue> element = json::parseValue(elementText);
        if (!element)
            return false;
        products->add(element->toObject());
    }
    return true;
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

std::optional<LibraryAnswer> LibraryAnswer::read(QByteArray &body) {
    LibraryAnswer decoded;
    std::optional<ProductCollector> products;
    if (!readProducts(body, decoded, products))
        return std::nullopt;
    // Everything is taken from the text: it goes before the look-ups and the sort keys are built beside the records.
    body = QByteArray();
    if (products)
        products->finish();
    return decoded;
}

} // namespace klv
