#pragma once

#include "store/NotificationContent.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>

#include <optional>

namespace klv {

class Services;
class Notifier;
class PackageDownload;
class SelfUpdate;

// Tells the user about finished installations and the store's sale through the notifier, and acts on the answers:
// a sale opens its store page, "Update Now" starts the updater.
class StoreNotifications final : public QObject {
    Q_OBJECT
public:
    StoreNotifications(Services &services, Notifier &notifier, SelfUpdate &selfUpdate, QObject *parent = nullptr);
    ~StoreNotifications() override;

    // Returns at once; the notification follows once the company logo is at hand, or without it when the logo
    // could not be had within moments. False, and logged, when the user-info lacks a text its kind needs.
    bool postStoreNotification(notificationType kind, const QVariantMap &userInfo);
    void didReceiveNotificationResponse(const NotificationContent &content, const QString &actionIdentifier);
    // From now on a new version whose archive is complete is announced with the update notification, once per
    // version. The application does this; the command-line client only says so on its terminal.
    void announceReadyUpdates();

    // A notification is on its way to the notification service; a program should wait for postingFinished
    // before it quits.
    bool isPosting() const;

Q_SIGNALS:
    void postingFinished();

private:
    QString logoPath() const;
    void fetchLogo(const QString &logo);
    void deliverWaiting(const QString &attachmentPath);
    void reportIfDone();

    Services &m_services;
    Notifier &m_notifier;
    SelfUpdate &m_selfUpdate;
    // The newest notification not yet handed to the notifier; an older one would be replaced at once anyway.
    std::optional<NotificationContent> m_waiting;
    QPointer<PackageDownload> m_logoDownload;
    // The store had no logo this run: later notifications go without one rather than each asking again.
    bool m_logoMissing = false;
    // How long a notification waits for the logo's first download.
    QTimer m_logoWait;
    bool m_announcingUpdates = false;
    QString m_announcedVersion;
};

} // namespace klv
