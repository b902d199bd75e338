#include "FuzzExpect.h"

#include "core/BinaryPlistBounds.h"
#include "core/ProductImageMapArchive.h"

#include <cstdint>
#include <tuple>

using klv::fuzz::expect;

// The picture map file: within tight bounds the check refuses or passes without running away, and a map that is read
// is written and read back as the same map.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // Refused or passed, the check must end within its bounds; its verdict has no invariant of its own here.
    std::ignore = klv::BinaryPlistBounds::check(bytes, {4096, 4, 64});
    const std::optional<klv::ProductImageMap> map = klv::ProductImageMapArchive::decode(bytes);
    if (!map)
        return 0;
    const std::optional<klv::ProductImageMap> again =
        klv::ProductImageMapArchive::decode(klv::ProductImageMapArchive::encode(*map));
    expect(again && *again == *map, "a picture map read is written and read back the same");
    return 0;
}
