#include "library/ProductEnums.h"

namespace klv {

std::optional<appMenuIndex> makeAppMenuIndex(int raw) {
    if (raw < static_cast<int>(appMenuIndex::featuredAppMenu) || raw > static_cast<int>(appMenuIndex::logintMenu))
        return std::nullopt;
    return static_cast<appMenuIndex>(raw);
}

} // namespace klv
