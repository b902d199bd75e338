#pragma once

namespace klv {

// glibc reads /etc/localtime again for every conversion of a local time while TZ is unset; unpacking a zip converts
// two times per entry, thousands per package. Naming the same zone in TZ makes it read once. Called first thing in
// main(), before any thread starts: a program started with TZ set keeps it.
void loadLocalTimeZoneOnce();

} // namespace klv
