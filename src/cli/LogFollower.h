#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace klv::cli {

// Reads the lines added to a log file, as they are written: polled, since the writer may be another process.
class LogFollower final : public QObject {
    Q_OBJECT
public:
    // Follows from the file's present end, or from its beginning.
    enum class Start { atEnd, atBeginning };
    LogFollower(QString filePath, Start start, QObject *parent = nullptr);

    void startPolling();
    // Reads what was added since the last read. Each entry of the log starts with its line break and reaches the
    // file in one write, so what was read is whole entries.
    void readNewLines();

Q_SIGNALS:
    void lineWritten(const QString &line);

private:
    QString m_filePath;
    qint64 m_offset = 0;
    QTimer m_poll;
};

} // namespace klv::cli
