#include "storeservice/EnvelopeDecoder.h"

#include <algorithm>

#include <QStringDecoder>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

int hexDigit(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return -1;
}

QString keyName(const std::string &name) {
    return QString::fromStdString(name);
}

// "p" and digits: the numbered parameters, but also misnumbered ones such as "p04".
bool looksLikeParameter(const std::string &name) {
    return name.size() > 1 && name.front() == 'p' && name.find_first_not_of("0123456789", 1) == std::string::npos;
}

} // namespace

EnvelopeDecoder::EnvelopeDecoder(const QString &endpoint, const QByteArray &key, const httplib::Params &query)
    : m_decryptor(key) {
    m_request.endpoint = endpoint;
    m_error = open(query);
}

std::optional<QByteArray> EnvelopeDecoder::decodeHex(std::string_view text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(text.size() / 2));
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.append(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

QString EnvelopeDecoder::open(const httplib::Params &query) {
    for (auto it = query.begin(); it != query.end(); it = query.upper_bound(it->first)) {
        if (query.count(it->first) > 1) {
            return u"query key %1 appears more than once"_s.arg(keyName(it->first));
        }
    }

    const auto ivText = query.find("p1");
    if (ivText == query.end()) {
        return u"p1 (the initialisation vector) is missing"_s;
    }
    const auto iv = decodeHex(ivText->second);
    if (!iv) {
        return u"p1 is not hexadecimal"_s;
    }
    if (iv->size() != AesCbcDecryptor::blockSize) {
        return u"p1 must be a 16-byte initialisation vector (32 hexadecimal digits), not %1 bytes"_s.arg(iv->size());
    }
    m_iv = *iv;

    const auto requestType = query.find("rt");
    if (requestType == query.end()) {
        return u"rt (the request type) is missing"_s;
    }
    const auto type = decryptValue(requestType->first, requestType->second);
    if (!type) {
        return m_error;
    }
    m_request.requestType = *type;

    // The key is built by appending: GCC 12 warns falsely about "p" + std::to_string(…) in optimised builds.
    const auto key = [](int number) {
        std::string name = "p";
        name += std::to_string(number);
        return name;
    };
    int number = 2;
    for (auto parameter = query.find(key(number)); parameter != query.end(); parameter = query.find(key(++number))) {
        const auto text = decryptValue(parameter->first, parameter->second);
        if (!text) {
            return m_error;
        }
        m_request.parameters.append(*text);
    }
    // A numbering slip in the client (p11 for the tenth value, say) must not silently drop values.
    const auto numbered = std::count_if(query.begin(), query.end(), [](const auto &entry) {
        return looksLikeParameter(entry.first) && entry.first != "p1";
    });
    if (numbered != m_request.parameters.size()) {
        return u"p%1 is missing while later numbered parameters are present"_s.arg(number);
    }

    const auto version = query.find("appV");
    if (version == query.end()) {
        return u"appV (the app version) is missing"_s;
    }
    m_request.appVersion = QString::fromStdString(version->second);
    return {};
}

std::optional<QString> EnvelopeDecoder::decryptValue(const std::string &name, const std::string &value) {
    if (value.empty()) {
        m_error = u"%1 is empty; even an empty text encrypts to one block"_s.arg(keyName(name));
        return std::nullopt;
    }
    const auto ciphertext =
        QByteArray::fromBase64Encoding(QByteArray::fromStdString(value), QByteArray::AbortOnBase64DecodingErrors);
    if (!ciphertext) {
        m_error = u"%1 is not valid base64"_s.arg(keyName(name));
        return std::nullopt;
    }
    const auto plain = m_decryptor.decrypt(m_iv, *ciphertext);
    if (!plain) {
        m_error = u"%1 does not decrypt with the key of %2 (wrong key, wrong IV or damaged value)"_s.arg(
            keyName(name), m_request.endpoint);
        return std::nullopt;
    }
    // Keep a leading byte order mark: values are compared exactly.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(*plain);
    if (utf8.hasError()) {
        m_error = u"%1 does not decrypt to UTF-8 text"_s.arg(keyName(name));
        return std::nullopt;
    }
    return text;
}

} // namespace klv::storeservice
