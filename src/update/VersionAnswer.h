#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace klv {

// The store's answer to "getProductVersion": either a refusal with the store's message, or the version offered
// and the SHA-256 of its archive when the store gave one.
struct VersionAnswer {
    // Set when the status is anything but the boolean true; the fallback names the product when the store says
    // nothing.
    std::optional<QString> refusal;
    QString version;
    QString sha256;

    static VersionAnswer decode(const QJsonObject &answer, qint64 productId);
};

} // namespace klv
