#include "StoreEnvelope.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace klv::test {

StoreEnvelope::StoreEnvelope(const QByteArray &keyHex, const QString &requestType, const QStringList &parameters)
    : m_key(QByteArray::fromHex(keyHex))
    , m_iv(16, Qt::Uninitialized) {
    RAND_bytes(reinterpret_cast<unsigned char *>(m_iv.data()), int(m_iv.size()));
    m_fields.emplace_back("p1", m_iv.toHex().toStdString());
    m_fields.emplace_back("rt", seal(requestType.toUtf8()));
    for (qsizetype i = 0; i < parameters.size(); ++i)
        m_fields.emplace_back("p" + std::to_string(i + 2), seal(parameters.at(i).toUtf8()));
    m_fields.emplace_back("appV", "3.2.1.57");
}

std::string StoreEnvelope::query() const {
    std::string query;
    for (const auto &[name, value] : m_fields) {
        query +=
            (query.empty() ? "?" : "&") + name + "=" +
            QByteArray::fromStdString(value).replace('+', "%2B").replace('/', "%2F").replace('=', "%3D").toStdString();
    }
    return query;
}

std::multimap<std::string, std::string> StoreEnvelope::fields() const {
    return {m_fields.cbegin(), m_fields.cend()};
}

std::string StoreEnvelope::seal(const QByteArray &plain) const {
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                                  &EVP_CIPHER_CTX_free);
    QByteArray cipher(plain.size() + 16, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(cipher.data());
    int updated = 0;
    int finished = 0;
    EVP_EncryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr,
                       reinterpret_cast<const unsigned char *>(m_key.constData()),
                       reinterpret_cast<const unsigned char *>(m_iv.constData()));
    EVP_EncryptUpdate(context.get(), out, &updated, reinterpret_cast<const unsigned char *>(plain.constData()),
                      int(plain.size()));
    EVP_EncryptFinal_ex(context.get(), out + updated, &finished);
    cipher.truncate(updated + finished);
    return cipher.toBase64().toStdString();
}

} // namespace klv::test
