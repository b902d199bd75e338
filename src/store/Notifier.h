#pragma once

#include "store/NotificationContent.h"

#include <QObject>

namespace klv {

// How the core shows notifications: the desktop's notification service in the app, a fake in tests.
// A post replaces the notification shown before it, if that one is still pending.
class Notifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void post(const NotificationContent &content) = 0;
    // A post has not reached the notification service yet (nor failed to): a program that quits now loses it.
    virtual bool isDelivering() const = 0;

Q_SIGNALS:
    // Every post so far has reached the service or failed to.
    void deliveryFinished();
    // The user chose one of the notification's actions, or "default" for a click on the notification itself.
    void answered(const klv::NotificationContent &content, const QString &actionIdentifier);
};

} // namespace klv
