#include "library/LibraryAnswer.h"

#include "library/LibraryFilter.h"
#include "store/LenientJson.h"

#include <QJsonArray>
#include <QSet>

#include <utility>

namespace klv {

using namespace Qt::StringLiterals;

LibraryAnswer LibraryAnswer::decode(const QJsonObject &answer) {
    LibraryAnswer decoded;
    if (const QJsonValue status = answer.value("status"_L1); !status.isBool() || !status.toBool()) {
        decoded.refusal = json::textOr(answer, "msg"_L1);
        return decoded;
    }
    using ProductIdentity = std::pair<qint64, std::pair<QString, QString>>;
    QSet<ProductIdentity> seen;
    const QJsonArray data = answer.value("data"_L1).toArray();
    for (const QJsonValue &element : data) {
        const QJsonObject object = element.toObject();
        const QString name = json::textOr(object, "product_name"_L1);
        if (name.isEmpty()) {
            decoded.namelessObjects.append(object);
            continue;
        }
        const qint64 number = json::int64Or(object, "product_id"_L1);
        const ProductIdentity identity{number, {name, json::textOr(object, "product_location"_L1)}};
        if (seen.contains(identity))
            continue;
        seen.insert(identity);
        if (const QString latest = json::textOr(object, "lastest"_L1); !latest.isEmpty())
            decoded.latestReleases.insert(number, latest);
        decoded.products.append(makeOutlineViewItem(object));
        decoded.nameMap.insert(name, number);
    }
    sortByProductName(decoded.products);
    return decoded;
}

} // namespace klv
