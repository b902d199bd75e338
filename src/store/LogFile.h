#pragma once

#include "core/LogSink.h"

#include <QMutex>
#include <QString>

namespace klv {

// The program's diagnostic log. Entries are appended, one writer at a time, each on one line of its own: control
// characters in a message are escaped.
class LogFile final : public LogSink {
public:
    explicit LogFile(QString filePath);
    Q_DISABLE_COPY_MOVE(LogFile)

    void appendLog(const QString &message) override;
    const QString &filePath() const { return m_filePath; }

private:
    QString m_filePath;
    QMutex m_mutex;
};

} // namespace klv
