#include "FuzzExpect.h"

#include "core/ProductLink.h"

#include <cstdint>

using klv::fuzz::expect;

// A klv:// link opens as one of its two forms with a positive product number, or is refused with a reason; a link
// opened is the same link when written out again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const klv::ProductLinkParse parsed = klv::parseProductLink(text);
    if (!parsed.link) {
        expect(parsed.refusal.startsWith(QStringLiteral("The link \"")), "a refused link says why");
        return 0;
    }
    expect(parsed.refusal.isEmpty() && parsed.link->productId > 0, "an opened link names a positive product number");
    const QString action = parsed.link->action == klv::ProductLink::Action::install ? QStringLiteral("install")
                                                                                    : QStringLiteral("product");
    const klv::ProductLinkParse again =
        klv::parseProductLink(QStringLiteral("klv://%1/%2").arg(action).arg(parsed.link->productId));
    expect(again.link == parsed.link, "an opened link written out opens the same");
    return 0;
}
