#pragma once

#include <QString>

namespace klv {

// Where the lowest layer leaves a diagnostic line without knowing which log file takes it.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void appendLog(const QString &message) = 0;
};

} // namespace klv
