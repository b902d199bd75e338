#include "install/FileRange.h"

#include <cerrno>
#include <unistd.h>

namespace klv {

QByteArray readFileRange(int descriptor, qint64 offset, qint64 count) {
    QByteArray bytes(qsizetype(count), Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < count) {
        const ssize_t got = ::pread(descriptor, bytes.data() + filled, size_t(count - filled), offset + filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += got;
    }
    bytes.truncate(qsizetype(filled));
    return bytes;
}

} // namespace klv
