#pragma once

#include <QString>

namespace klv {

// The one file-size text of the program: "512.00 bytes", "1.50 KB", "3.40 MB", "1.00 GB". The value is divided
// only while it is greater than 1024, so 1024 stays "1024.00 bytes" and 1048576 is "1024.00 KB"; beyond
// gigabytes the text is empty.
QString formatByteCount(qint64 byteCount);

} // namespace klv
