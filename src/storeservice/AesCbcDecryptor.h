#pragma once

#include <optional>

#include <QByteArray>

namespace klv::storeservice {

// AES-256-CBC with PKCS#7 padding, the cipher of every value in a request envelope.
class AesCbcDecryptor final {
public:
    static constexpr qsizetype keySize = 32;
    static constexpr qsizetype blockSize = 16;

    explicit AesCbcDecryptor(QByteArray key);

    // Nothing when the key, the IV or the ciphertext has the wrong size or the padding is wrong, which is what a
    // wrong key usually looks like.
    std::optional<QByteArray> decrypt(const QByteArray &iv, const QByteArray &ciphertext) const;

private:
    QByteArray m_key;
};

} // namespace klv::storeservice
