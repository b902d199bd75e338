#include "library/FileCreationDate.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace klv {

std::optional<QDateTime> fileCreationDate(const QString &path) {
    struct statx info {};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &info) !=
        0)
        return std::nullopt;
    const struct statx_timestamp &stamp = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
    return QDateTime::fromMSecsSinceEpoch(stamp.tv_sec * 1000 + stamp.tv_nsec / 1'000'000);
}

} // namespace klv
