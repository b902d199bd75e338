#include "store/RequestEnvelope.h"

#include <QByteArray>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <cctype>
#include <memory>

namespace klv {

namespace {

constexpr int ivLength = 16;

struct CipherContextDeleter {
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

QString lastOpenSslError() {
    const unsigned long code = ERR_get_error();
    if (code == 0)
        return QStringLiteral("unknown OpenSSL error");
    std::array<char, 256> text{};
    ERR_error_string_n(code, text.data(), text.size());
    return QString::fromLatin1(text.data());
}

std::optional<QByteArray> decodeKey(QString keyHex) {
    if (keyHex.startsWith(u"0x") || keyHex.startsWith(u"0X"))
        keyHex.remove(0, 2);
    if (keyHex.size() % 2 != 0)
        return std::nullopt;
    for (const QChar c : std::as_const(keyHex)) {
        if (!std::isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x'))
            return std::nullopt;
    }
    return QByteArray::fromHex(keyHex.toLatin1());
}

const EVP_CIPHER *cipherForKeyLength(qsizetype length) {
    switch (length) {
    case 16:
        return EVP_aes_128_cbc();
    case 24:
        return EVP_aes_192_cbc();
    case 32:
        return EVP_aes_256_cbc();
    default:
        return nullptr;
    }
}

std::optional<QByteArray> encrypt(const EVP_CIPHER *cipher, const QByteArray &key, const QByteArray &iv,
                                  const QByteArray &plain) {
    const CipherContext context(EVP_CIPHER_CTX_new());
    QByteArray out(plain.size() + ivLength, Qt::Uninitialized);
    auto *outBytes = reinterpret_cast<unsigned char *>(out.data());
    int written = 0;
    int finalWritten = 0;
    if (!context ||
        EVP_EncryptInit_ex(context.get(), cipher, nullptr, reinterpret_cast<const unsigned char *>(key.constData()),
                           reinterpret_cast<const unsigned char *>(iv.constData())) != 1 ||
        EVP_EncryptUpdate(context.get(), outBytes, &written, reinterpret_cast<const unsigned char *>(plain.constData()),
                          static_cast<int>(plain.size())) != 1 ||
        EVP_EncryptFinal_ex(context.get(), outBytes + written, &finalWritten) != 1)
        return std::nullopt;
    out.truncate(written + finalWritten);
    return out;
}

} // namespace

QString percentEncodeQueryValue(QString text) {
    static const std::array<std::pair<char16_t, QLatin1StringView>, 18> escapes{{
        {u'!', QLatin1StringView("%21")},
        {u'*', QLatin1StringView("%2A")},
        {u'\'', QLatin1StringView("%27")},
        {u'(', QLatin1StringView("%28")},
        {u')', QLatin1StringView("%29")},
        {u';', QLatin1StringView("%3B")},
        {u':', QLatin1StringView("%3A")},
        {u'@', QLatin1StringView("%40")},
        {u'&', QLatin1StringView("%26")},
        {u'=', QLatin1StringView("%3D")},
        {u'+', QLatin1StringView("%2B")},
        {u'$', QLatin1StringView("%24")},
        {u',', QLatin1StringView("%2C")},
        {u'/', QLatin1StringView("%2F")},
        {u'?', QLatin1StringView("%3F")},
        {u'#', QLatin1StringView("%23")},
        {u'[', QLatin1StringView("%5B")},
        {u']', QLatin1StringView("%5D")},
    }};
    text.replace(u'%', QLatin1StringView("%25"));
    for (const auto &[character, escape] : escapes)
        text.replace(QChar(character), escape);
    return text;
}

RequestQuery buildRequestQuery(const QStringList &parameters, const QString &requestType, const QString &keyHex,
                               const QString &appVersion) {
    RequestQuery query;
    query.text = QStringLiteral("?");

    const std::optional<QByteArray> key = decodeKey(keyHex);
    const EVP_CIPHER *cipher = key ? cipherForKeyLength(key->size()) : nullptr;
    QByteArray iv(ivLength, Qt::Uninitialized);
    if (!cipher) {
        query.setupError = QStringLiteral("the request key is not 32, 48 or 64 hexadecimal digits");
        return query;
    }
    if (RAND_bytes(reinterpret_cast<unsigned char *>(iv.data()), ivLength) != 1) {
        query.setupError = lastOpenSslError();
        return query;
    }

    const auto encodedValue = [&](const QString &value) {
        const std::optional<QByteArray> cipherText = encrypt(cipher, *key, iv, value.toUtf8());
        if (!cipherText) {
            query.encryptionErrors << lastOpenSslError();
            return QString();
        }
        return percentEncodeQueryValue(QString::fromLatin1(cipherText->toBase64()));
    };

    query.text += u"p1=" + QString::fromLatin1(iv.toHex());
    query.text += u"&rt=" + encodedValue(requestType);
    for (qsizetype i = 0; i < parameters.size(); ++i)
        query.text += u"&p" + QString::number(i + 2) + u'=' + encodedValue(parameters.at(i));
    query.text += u"&appV=" + appVersion;
    return query;
}

} // namespace klv
