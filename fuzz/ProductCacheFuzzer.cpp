#include "FuzzExpect.h"

#include "library/ProductCache.h"

#include <cstdint>

using klv::fuzz::expect;

// The product cache: what is read is written and read back as the same records.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::optional<QList<klv::OutlineViewItem>> products =
        klv::ProductCache::decode(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!products)
        return 0;
    const std::optional<QList<klv::OutlineViewItem>> again =
        klv::ProductCache::decode(klv::ProductCache::encode(*products));
    expect(again && *again == *products, "a product cache read is written and read back the same");
    return 0;
}
