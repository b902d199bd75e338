#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace klv {

struct RequestQuery {
    // The query including its leading "?"; only "?" when the cipher could not be set up.
    QString text;
    std::optional<QString> setupError;
    // One entry per value that could not be encrypted (that value is sent empty).
    QStringList encryptionErrors;
};

// The encrypted query of every store request: a fresh IV as p1, then the request type and each parameter
// encrypted under the same IV, base64- and percent-encoded, then the app version in clear.
RequestQuery buildRequestQuery(const QStringList &parameters, const QString &requestType, const QString &keyHex,
                               const QString &appVersion);

// "%" first, then the 18 characters that would otherwise split or end a query value.
QString percentEncodeQueryValue(QString text);

} // namespace klv
