#include "LogFollower.h"

#include <QFile>
#include <QFileInfo>

namespace klv::cli {

namespace {
constexpr int pollIntervalMs = 200;
constexpr qint64 readChunk = 64 * 1024;
} // namespace

LogFollower::LogFollower(QString filePath, Start start, QObject *parent)
    : QObject(parent)
    , m_filePath(std::move(filePath))
    , m_offset(start == Start::atEnd ? QFileInfo(m_filePath).size() : 0) {
    m_poll.setInterval(pollIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, &LogFollower::readNewLines);
}

void LogFollower::startPolling() {
    m_poll.start();
}

void LogFollower::readNewLines() {
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // A log that shrank was replaced: the new one is read from its beginning.
    if (file.size() < m_offset) {
        m_offset = 0;
        m_partialLine.clear();
    }
    if (!file.seek(m_offset))
        return;
    for (QByteArray chunk = file.read(readChunk); !chunk.isEmpty(); chunk = file.read(readChunk)) {
        m_offset += chunk.size();
        m_partialLine += chunk;
        qsizetype end = 0;
        while ((end = m_partialLine.indexOf('\n')) >= 0) {
            const QByteArray line = m_partialLine.left(end);
            m_partialLine.remove(0, end + 1);
            Q_EMIT lineWritten(QString::fromUtf8(line));
        }
    }
}

} // namespace klv::cli
