#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace klv {

// A file an unpacking wrote: where it lives on disk (a move keeps that), its size and time as written, and the digest
// of what it wrote, known without reading it back: the CRC-32 the archive checked its bytes against, or the SHA-256 of
// what an editor made of them. Recording it needs no second reading.
struct UnpackedFile {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    // Nanoseconds since the epoch.
    qint64 modified = 0;
    // In the form a manifest records (FileTreeScan).
    QByteArray digest;
};

using UnpackedFiles = QList<UnpackedFile>;

} // namespace klv
