#include "store/DBusNotifier.h"

#include "store/LogFile.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

const QString service = u"org.freedesktop.Notifications"_s;
const QString path = u"/org/freedesktop/Notifications"_s;
const QString interface = u"org.freedesktop.Notifications"_s;
// A missing service answers at once; a hung one must not hold notifications back for the bus's 25 seconds.
constexpr int callTimeoutMs = 5'000;
// The action a notification service reports for a click on the notification itself.
const QString clickAction = u"default"_s;

} // namespace

DBusNotifier::DBusNotifier(QDBusConnection bus, LogFile &log, QObject *parent)
    : Notifier(parent)
    , m_bus(std::move(bus))
    , m_log(log) {}

void DBusNotifier::post(const NotificationContent &content) {
    if (!m_bus.isConnected()) {
        m_log.appendLog(u"KLV App Error: notification not shown, no session bus: "_s + m_bus.lastError().message());
        return;
    }
    // Answers can follow a notification at once, so the signals are watched before the first one is sent.
    if (!m_listening) {
        m_listening =
            m_bus.connect(service, path, interface, u"ActionInvoked"_s, this, SLOT(onActionInvoked(uint, QString))) &&
            m_bus.connect(service, path, interface, u"NotificationClosed"_s, this,
                          SLOT(onNotificationClosed(uint, uint)));
    }
    if (m_sending) {
        m_queued = content;
        return;
    }
    send(content);
}

void DBusNotifier::send(const NotificationContent &content) {
    QStringList actions;
    for (const NotificationContent::Action &action : content.actions)
        actions << action.identifier << action.title;
    // A click counts as an answer where the notification has buttons.
    if (!content.actions.isEmpty())
        actions << clickAction << content.actions.first().title;
    QVariantMap hints;
    if (!content.attachmentPath.isEmpty())
        hints.insert(u"image-path"_s, QUrl::fromLocalFile(content.attachmentPath).toString());

    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, u"Notify"_s);
    call << u"KLV App"_s << m_shownId << QString() << content.title << content.subtitle << actions << hints << int{-1};
    m_sending = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, content](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        m_sending = false;
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isError()) {
            m_log.appendLog(u"KLV App Error: notification not shown, no notification service answered: "_s +
                            reply.error().message());
        } else {
            m_shownId = reply.value();
            m_shown = content;
        }
        if (m_queued) {
            const NotificationContent next = std::move(*m_queued);
            m_queued.reset();
            send(next);
            return;
        }
        Q_EMIT deliveryFinished();
    });
}

void DBusNotifier::onActionInvoked(uint id, const QString &actionKey) {
    // The service tells every client about every notification; only ours count.
    if (id == 0 || id != m_shownId)
        return;
    Q_EMIT answered(m_shown, actionKey);
}

void DBusNotifier::onNotificationClosed(uint id, uint) {
    if (id == m_shownId)
        m_shownId = 0;
}

} // namespace klv
