#include "FuzzExpect.h"

#include "store/RequestEnvelope.h"
#include "storeservice/EnvelopeDecoder.h"

#include <cstdint>

using klv::fuzz::expect;

namespace {

const QString keyHex = QStringLiteral("6b6c766170707320667a7a206b6579202d206a75737420666f72207465737473");

httplib::Params queryOf(const QString &text) {
    httplib::Params params;
    httplib::detail::parse_query_text(text.toStdString(), params);
    return params;
}

} // namespace

// The first byte picks the mode. Even: the rest is a request's query as the store receives it, which opens or is
// refused with a reason. Odd: the rest is a request type and its parameters, one a line, which the client seals
// into a query exactly as it sends one; the store opens it to the same request type and parameters.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QByteArray key = QByteArray::fromHex(keyHex.toLatin1());
    if (data[0] % 2 == 0) {
        const klv::storeservice::EnvelopeDecoder decoder(QStringLiteral("product"), key, queryOf(text));
        expect(decoder.isValid() || !decoder.errorString().isEmpty(), "a refused envelope says why");
        return 0;
    }
    QStringList parameters = text.split(u'\n');
    const QString requestType = parameters.takeFirst();
    const klv::RequestQuery query = klv::buildRequestQuery(parameters, requestType, keyHex, QStringLiteral("1.0"));
    expect(!query.setupError && query.encryptionErrors.isEmpty(), "every value is sealed");
    const klv::storeservice::EnvelopeDecoder decoder(QStringLiteral("product"), key, queryOf(query.text.sliced(1)));
    expect(decoder.isValid(), "a sealed request opens");
    expect(decoder.request().requestType == requestType && decoder.request().parameters == parameters,
           "a sealed request opens to what was sealed");
    return 0;
}
