#include "core/AtomicRename.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace klv {

namespace {

QString failure(const QString &what) {
    return what + u": " + QString::fromLocal8Bit(std::strerror(errno));
}

bool exchangeUnsupported() {
    return errno == EINVAL || errno == ENOSYS;
}

} // namespace

Error exchangeItems(const QString &first, const QString &second, const QString &aside) {
    const QByteArray a = QFile::encodeName(first);
    const QByteArray b = QFile::encodeName(second);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE) == 0)
        return std::nullopt;
    if (!exchangeUnsupported())
        return failure(u'"' + first + u"\" could not take the place of \"" + second + u'"');
    const QByteArray c = QFile::encodeName(aside);
    if (std::rename(b.constData(), c.constData()) != 0)
        return failure(u'"' + second + u"\" could not be set aside");
    if (std::rename(a.constData(), b.constData()) != 0) {
        const QString error = failure(u'"' + first + u"\" could not take the place of \"" + second + u'"');
        std::rename(c.constData(), b.constData());
        return error;
    }
    if (std::rename(c.constData(), a.constData()) != 0)
        return failure(u"the earlier \"" + second + u"\" could not be kept aside");
    return std::nullopt;
}

Error renameToFreePath(const QString &from, const QString &to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return std::nullopt;
    const QFileInfo existing(to);
    if (exchangeUnsupported() && !existing.exists() && !existing.isSymLink() &&
        std::rename(source.constData(), target.constData()) == 0)
        return std::nullopt;
    return failure(u'"' + from + u"\" could not be renamed to \"" + to + u'"');
}

} // namespace klv
