#include "store/LogFile.h"

#include "core/ControlCharacters.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include <cstdio>

namespace klv {

LogFile::LogFile(QString filePath, qint64 rotationBytes)
    : m_filePath(std::move(filePath))
    , m_rotationBytes(rotationBytes) {}

void LogFile::rotateBefore(qint64 entryBytes) {
    const qint64 size = QFileInfo(m_filePath).size();
    // An entry larger than the cap still goes into a file of its own rather than being lost.
    if (size == 0 || size + entryBytes <= m_rotationBytes)
        return;
    // rename(2) replaces the previous old file in one step; a failure (another process rotated first) leaves the
    // entry to the new file.
    std::rename(QFile::encodeName(m_filePath).constData(), QFile::encodeName(rotatedFilePath()).constData());
}

void LogFile::appendLog(const QString &message) {
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    // Messages carry text from the store: escaped, none of it can start an entry of its own.
    const QByteArray entry = (u'\n' + stamp + u" +0000 : " + escapeControlCharacters(message)).toUtf8();

    QMutexLocker lock(&m_mutex);
    rotateBefore(entry.size());
    // Unbuffered append: each entry reaches the file in one write, so another process appending meanwhile
    // cannot split it.
    QFile file(m_filePath);
    constexpr QIODevice::OpenMode appending = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;
    bool opened = file.open(appending);
    // The first entries of a new home can come before start-up has made the log's folder.
    if (const QString folder = QFileInfo(m_filePath).path();
        !opened && !QFileInfo::exists(folder) && QDir().mkpath(folder))
        opened = file.open(appending);
    if (!opened || file.write(entry) != entry.size()) {
        // stderr rather than stdout: the command-line client keeps stdout for results.
        std::fputs("Either file not exist of can't write the file\n", stderr);
    }
}

} // namespace klv
