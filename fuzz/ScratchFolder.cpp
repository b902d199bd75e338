#include "ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace klv::fuzz {
namespace {

QString memoryBackedBase() {
    const QFileInfo shared(QStringLiteral("/dev/shm"));
    return shared.isDir() && shared.isWritable() ? shared.filePath() : QDir::tempPath();
}

} // namespace

ScratchFolder::ScratchFolder()
    : m_folder(memoryBackedBase() + QStringLiteral("/klv-fuzz-XXXXXX")) {}

QString ScratchFolder::emptied(const QString &name) const {
    const QString path = m_folder.filePath(name);
    if (QFileInfo(path).isDir())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
    return path;
}

} // namespace klv::fuzz
