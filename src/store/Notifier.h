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

Q_SIGNALS:
    // The user chose one of the notification's actions, or "default" for a click on the notification itself.
    void answered(const klv::NotificationContent &content, const QString &actionIdentifier);
};

} // namespace klv
