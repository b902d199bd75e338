#include "core/ByteCountFormat.h"

#include <array>

namespace klv {

QString formatByteCount(qint64 byteCount) {
    static constexpr std::array<QStringView, 4> units{u" bytes", u" KB", u" MB", u" GB"};
    auto value = static_cast<double>(byteCount);
    std::size_t divisions = 0;
    while (value > 1024.0) {
        value /= 1024.0;
        ++divisions;
    }
    if (divisions >= units.size())
        return {};
    return QString::number(value, 'f', 2) + units[divisions];
}

} // namespace klv
