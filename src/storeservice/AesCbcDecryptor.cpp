#include "storeservice/AesCbcDecryptor.h"

#include <memory>
#include <utility>

#include <openssl/evp.h>

namespace klv::storeservice {

namespace {

const unsigned char *bytes(const QByteArray &data) {
    return reinterpret_cast<const unsigned char *>(data.constData());
}

} // namespace

AesCbcDecryptor::AesCbcDecryptor(QByteArray key)
    : m_key(std::move(key)) {}

std::optional<QByteArray> AesCbcDecryptor::decrypt(const QByteArray &iv, const QByteArray &ciphertext) const {
    if (m_key.size() != keySize || iv.size() != blockSize || ciphertext.isEmpty() ||
        ciphertext.size() % blockSize != 0) {
        return std::nullopt;
    }
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                                  &EVP_CIPHER_CTX_free);
    if (!context || EVP_DecryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, bytes(m_key), bytes(iv)) != 1) {
        return std::nullopt;
    }
    QByteArray plain(ciphertext.size(), Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(plain.data());
    int updated = 0;
    int finished = 0;
    if (EVP_DecryptUpdate(context.get(), out, &updated, bytes(ciphertext), static_cast<int>(ciphertext.size())) != 1 ||
        EVP_DecryptFinal_ex(context.get(), out + updated, &finished) != 1) {
        return std::nullopt;
    }
    plain.truncate(updated + finished);
    return plain;
}

} // namespace klv::storeservice
