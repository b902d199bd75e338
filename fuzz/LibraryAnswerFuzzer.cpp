#include "FuzzExpect.h"

#include "library/LibraryAnswer.h"

#include <QJsonDocument>
#include <QSet>

#include <cstdint>

using klv::fuzz::expect;

// An answer to a library download yields either a refusal and nothing else, or products that each have a name the
// name map knows, each number, name and location once.
// Read a product at a time from its text, it yields what the parsed answer yields.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray body(text.constData(), text.size());
    const std::optional<klv::LibraryAnswer> read = klv::LibraryAnswer::read(body);
    expect(read ? body.isEmpty() : body == text, "a text read is let go, one that cannot be read is kept");
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isObject())
        return 0;
    const klv::LibraryAnswer answer = klv::LibraryAnswer::decode(document.object());
    if (read) {
        expect(read->refusal == answer.refusal && read->products == answer.products &&
                   read->nameMap == answer.nameMap && read->latestReleases == answer.latestReleases &&
                   read->namelessObjects == answer.namelessObjects,
               "the answer read a product at a time yields what the parsed answer yields");
    }
    if (answer.refusal) {
        expect(answer.products.isEmpty() && answer.nameMap.isEmpty() && answer.latestReleases.isEmpty() &&
                   answer.namelessObjects.isEmpty(),
               "a refused library answer yields no records");
        return 0;
    }
    QSet<std::pair<qint64, std::pair<QString, QString>>> identities;
    for (const klv::OutlineViewItem &product : answer.products) {
        expect(!product.product_name.isEmpty(), "every product has a name");
        expect(answer.nameMap.contains(product.product_name), "every product's name is in the name map");
        identities.insert({product.product_id, {product.product_name, product.product_location}});
    }
    expect(identities.size() == answer.products.size(), "each product is listed once");
    return 0;
}
