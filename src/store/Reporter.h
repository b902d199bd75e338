#pragma once

#include <QString>

namespace klv {

class Alerts;
class LogFile;

// The two ways the core reports: a log line, and an alert that is logged before it is shown.
class Reporter final {
public:
    Reporter(LogFile &log, Alerts &alerts);

    void appendLog(const QString &message) const;
    // Returns 0, 1 or 2 for the first, second or third button.
    int showAlert(const QString &title, const QString &message, const QString &firstButton,
                  const QString &secondButton = {}, const QString &thirdButton = {}) const;

    LogFile &log() const { return m_log; }

private:
    LogFile &m_log;
    Alerts &m_alerts;
};

} // namespace klv
