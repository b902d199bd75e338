#pragma once

#include <QList>
#include <QtGlobal>

namespace klv {

// A file an unpacking wrote exactly as its archive holds it: where it lives on disk (a move keeps that), its size and
// time as written, and the CRC-32 the archive checked its bytes against. Recording it needs no second reading.
struct UnpackedFile {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    // Nanoseconds since the epoch.
    qint64 modified = 0;
    quint32 crc32 = 0;
};

using UnpackedFiles = QList<UnpackedFile>;

} // namespace klv
