#include "store/Reporter.h"

#include "store/Alerts.h"
#include "store/LogFile.h"

namespace klv {

Reporter::Reporter(LogFile &log, Alerts &alerts)
    : m_log(log)
    , m_alerts(alerts) {}

void Reporter::appendLog(const QString &message) const {
    m_log.appendLog(message);
}

int Reporter::showAlert(const QString &title, const QString &message, const QString &firstButton,
                        const QString &secondButton, const QString &thirdButton) const {
    m_log.appendLog(message);
    QStringList buttons{firstButton};
    if (!secondButton.isEmpty())
        buttons << secondButton;
    if (!thirdButton.isEmpty())
        buttons << thirdButton;
    return m_alerts.present(title, message, buttons);
}

} // namespace klv
