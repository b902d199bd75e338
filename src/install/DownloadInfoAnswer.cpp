#include "install/DownloadInfoAnswer.h"

#include "store/LenientJson.h"

namespace klv {

using namespace Qt::StringLiterals;

DownloadInfoAnswer DownloadInfoAnswer::decode(const QJsonObject &answer) {
    DownloadInfoAnswer decoded;
    if (const QJsonValue status = answer.value("status"_L1); !status.isBool() || !status.toBool()) {
        decoded.message = json::textOr(answer, "msg"_L1);
        return decoded;
    }
    const QJsonObject templateData = answer.value("templateData"_L1).toObject();
    const QJsonArray compositeData = answer.value("compositeData"_L1).toArray();
    // A yes with nothing to install must not pass for an installation.
    if (templateData.isEmpty() && compositeData.isEmpty()) {
        decoded.kind = Kind::nothingToInstall;
        return decoded;
    }
    decoded.kind = Kind::accepted;
    decoded.templateData = templateData;
    decoded.compositeData = compositeData;
    decoded.notAutomaticKill = json::textListOr(answer, "notAutomaticKill"_L1);
    return decoded;
}

} // namespace klv
