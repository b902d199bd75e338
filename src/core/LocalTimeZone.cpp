#include "core/LocalTimeZone.h"

#include <cstdlib>

namespace klv {

void loadLocalTimeZoneOnce() {
    // The leading colon is glibc's form for "the zone in this file", which is what an unset TZ means.
    ::setenv("TZ", ":/etc/localtime", 0);
}

} // namespace klv
