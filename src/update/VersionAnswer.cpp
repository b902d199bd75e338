#include "update/VersionAnswer.h"

#include "store/LenientJson.h"

namespace klv {

using namespace Qt::StringLiterals;

VersionAnswer VersionAnswer::decode(const QJsonObject &answer, qint64 productId) {
    VersionAnswer decoded;
    // Only the boolean true: a number 1 is no yes here, as in every other store answer.
    if (const QJsonValue status = answer.value("status"_L1); !status.isBool() || !status.toBool()) {
        decoded.refusal =
            json::toText(answer.value("msg"_L1))
                .value_or(u"Failed to get product version info for product with ID: "_s + QString::number(productId));
        return decoded;
    }
    decoded.version = json::toText(answer.value("version"_L1)).value_or(QString());
    decoded.sha256 = json::toText(answer.value("sha256"_L1)).value_or(QString()).trimmed();
    return decoded;
}

} // namespace klv
