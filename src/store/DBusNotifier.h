#pragma once

#include "store/Notifier.h"

#include <QDBusConnection>

#include <optional>

namespace klv {

class LogFile;

// Notifications through the desktop's notification service (org.freedesktop.Notifications on the session bus).
// Calls never block: without a service, or without a bus, a post is logged and dropped. Only one notification is
// shown at a time: each post replaces the previous one while that is still open, and a post made while the
// service has not yet answered the previous one waits for that answer.
class DBusNotifier final : public Notifier {
    Q_OBJECT
public:
    DBusNotifier(QDBusConnection bus, LogFile &log, QObject *parent = nullptr);

    void post(const NotificationContent &content) override;
    bool isDelivering() const override { return m_sending; }

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    void send(const NotificationContent &content);

    QDBusConnection m_bus;
    LogFile &m_log;
    bool m_listening = false;
    bool m_sending = false;
    std::optional<NotificationContent> m_queued;
    // The notification on screen and the id the service gave it; 0 when none is open.
    uint m_shownId = 0;
    NotificationContent m_shown;
};

} // namespace klv
