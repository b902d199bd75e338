#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace klv::test {

// A store request sealed by hand the way the app seals it, to feed klv-store directly: p1 is a fresh IV in hex; rt
// and p2, p3, … are AES-256-CBC under the endpoint's key with that IV, in base64; appV travels in clear. Built apart
// from the app's own code, so that a fault the app and the store share cannot hide.
class StoreEnvelope final {
public:
    // keyHex: the endpoint's key, 64 hexadecimal digits.
    StoreEnvelope(const QByteArray &keyHex, const QString &requestType, const QStringList &parameters);

    // "?p1=…&rt=…&p2=…&appV=…", "+", "/" and "=" escaped as the app escapes them.
    std::string query() const;
    // The fields as the store reads them once the query is parsed (httplib::Params).
    std::multimap<std::string, std::string> fields() const;
    // Bytes sealed with this envelope's key and IV, in base64.
    std::string seal(const QByteArray &plain) const;

private:
    QByteArray m_key;
    QByteArray m_iv;
    std::vector<std::pair<std::string, std::string>> m_fields;
};

} // namespace klv::test
