#include "install/FolderMove.h"

#include "core/FolderCreation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace klv {

namespace {

Error copyRecursively(const QString &source, const QString &target) {
    const QFileInfo info(source);
    if (!info.isDir() || info.isSymLink()) {
        if (!QFile::copy(source, target))
            return u"\"" + source + u"\" could not be copied to \"" + target + u'"';
        return std::nullopt;
    }
    if (const Error reason = createFolderWithParents(target))
        return u"the folder \"" + target + u"\" could not be created: " + *reason;
    for (const QString &entry : QDir(source).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (Error error = copyRecursively(source + u'/' + entry, target + u'/' + entry))
            return error;
    }
    return std::nullopt;
}

} // namespace

void removeItem(const QString &path) {
    const QFileInfo item(path);
    if (item.isDir() && !item.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

Error moveItem(const QString &source, const QString &target) {
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0)
        return std::nullopt;
    if (errno != EXDEV)
        return u"\"" + source + u"\" could not be moved to \"" + target + u"\": " +
               QString::fromLocal8Bit(std::strerror(errno));
    if (Error error = copyRecursively(source, target))
        return error;
    const QFileInfo info(source);
    const bool removed = info.isDir() && !info.isSymLink() ? QDir(source).removeRecursively() : QFile::remove(source);
    if (!removed)
        return u"\"" + source + u"\" was copied but could not be removed";
    return std::nullopt;
}

} // namespace klv
