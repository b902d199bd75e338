#pragma once

#include "core/LogSink.h"

#include <QMutex>
#include <QString>

namespace klv {

// The program's diagnostic log. Entries are appended, one writer at a time, each on one line of its own: control
// characters in a message are escaped. The log is capped: an entry that would take the file past the cap first
// moves it aside to "<file>.1" (replacing the previous one), so at most two files of about the cap are kept.
class LogFile final : public LogSink {
public:
    static constexpr qint64 defaultRotationBytes = 5 * 1024 * 1024;

    explicit LogFile(QString filePath, qint64 rotationBytes = defaultRotationBytes);
    Q_DISABLE_COPY_MOVE(LogFile)

    void appendLog(const QString &message) override;
    const QString &filePath() const { return m_filePath; }
    // The previous log, once the log has been rotated.
    QString rotatedFilePath() const { return m_filePath + u".1"; }

private:
    void rotateBefore(qint64 entryBytes);

    QString m_filePath;
    qint64 m_rotationBytes;
    QMutex m_mutex;
};

} // namespace klv
