#include "cli/LogFollower.h"

#include <QFile>
#include <QFileInfo>

namespace klv::cli {

namespace {
constexpr int pollIntervalMs = 200;
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
    if (file.size() < m_offset)
        m_offset = 0;
    if (!file.seek(m_offset))
        return;
    const QByteArray added = file.read(file.size() - m_offset);
    m_offset += added.size();
    for (const QByteArray &line : added.split('\n')) {
        if (!line.isEmpty())
            Q_EMIT lineWritten(QString::fromUtf8(line));
    }
}

} // namespace klv::cli
