#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <httplib.h>

#include <QByteArray>
#include <QString>

#include "storeservice/AesCbcDecryptor.h"
#include "storeservice/DecodedRequest.h"

namespace klv::storeservice {

// Opens the query of a store request: p1 is the IV in hex; rt, p2, p3, … are each AES-256-CBC encrypted with the
// endpoint's key and that same IV, then base64-encoded; appV travels in clear. A malformed envelope is reported as a
// reason, never thrown.
class EnvelopeDecoder final {
public:
    // The query as httplib parsed it, percent-encoding already removed.
    EnvelopeDecoder(const QString &endpoint, const QByteArray &key, const httplib::Params &query);

    bool isValid() const { return m_error.isEmpty(); }
    const QString &errorString() const { return m_error; }
    const DecodedRequest &request() const { return m_request; }

    // Strict hexadecimal (an even number of digits of either case, nothing else); used for IVs and request keys.
    static std::optional<QByteArray> decodeHex(std::string_view text);

private:
    QString open(const httplib::Params &query);
    std::optional<QString> decryptValue(const std::string &name, const std::string &value);

    AesCbcDecryptor m_decryptor;
    QByteArray m_iv;
    DecodedRequest m_request;
    QString m_error;
};

} // namespace klv::storeservice
