#include "FolderExchange.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

QString failure(const QString &what) {
    return what + u": "_s + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

std::optional<QString> exchangeFolders(const QString &first, const QString &second, const QString &fallbackAside) {
    const QByteArray a = QFile::encodeName(first);
    const QByteArray b = QFile::encodeName(second);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE) == 0)
        return std::nullopt;
    if (errno != EINVAL && errno != ENOSYS)
        return failure(u"“%1” and “%2” could not trade places"_s.arg(first, second));
    if (const auto error = moveFolderToFreePath(first, fallbackAside))
        return error;
    if (std::rename(b.constData(), a.constData()) != 0) {
        const QString error = failure(u"“%1” could not be moved to “%2”"_s.arg(second, first));
        moveFolderToFreePath(fallbackAside, first);
        return error;
    }
    return moveFolderToFreePath(fallbackAside, second);
}

std::optional<QString> moveFolderToFreePath(const QString &from, const QString &to) {
    if (::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD, QFile::encodeName(to).constData(),
                    RENAME_NOREPLACE) != 0) {
        return failure(u"“%1” could not be moved to “%2”"_s.arg(from, to));
    }
    return std::nullopt;
}

} // namespace klv
