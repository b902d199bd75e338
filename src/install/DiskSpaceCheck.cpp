#include "install/DiskSpaceCheck.h"

#include "core/ByteCountFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// The folder itself, or the nearest parent that exists.
QString existingAncestor(const QString &folder) {
    QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (!QFileInfo::exists(path) && path != QDir::rootPath())
        path = QFileInfo(path).path();
    return path;
}

} // namespace

QString DiskSpaceCheck::Shortfall::message() const {
    QStringList quoted;
    for (const QString &folder : folders)
        quoted << u'"' + QDir::toNativeSeparators(folder) + u'"';
    return u"There is not enough room in "_s + quoted.join(u" and "_s) + u": "_s + formatByteCount(needed) +
           u" are needed there and only "_s + formatByteCount(available) +
           u" are free. Make room on that disk and try again; nothing was written."_s;
}

void DiskSpaceCheck::add(const QString &folder, qint64 bytes) {
    if (bytes <= 0)
        return;
    const QByteArray path = QFile::encodeName(existingAncestor(folder));
    struct stat status {};
    struct statvfs volume {};
    if (::stat(path.constData(), &status) != 0 || ::statvfs(path.constData(), &volume) != 0)
        return;
    auto disk = std::find_if(m_disks.begin(), m_disks.end(),
                             [&status](const Disk &known) { return known.device == status.st_dev; });
    if (disk == m_disks.end()) {
        m_disks.append({status.st_dev, {}, 0, qint64(volume.f_bavail) * qint64(volume.f_frsize)});
        disk = std::prev(m_disks.end());
    }
    if (!disk->folders.contains(folder))
        disk->folders.append(folder);
    disk->needed += bytes;
}

std::optional<DiskSpaceCheck::Shortfall> DiskSpaceCheck::shortfall() const {
    for (const Disk &disk : m_disks) {
        if (disk.needed > disk.available)
            return Shortfall{disk.folders, disk.needed, disk.available};
    }
    return std::nullopt;
}

} // namespace klv
