#pragma once

#include "core/Clock.h"
#include "core/Configuration.h"
#include "core/TickSource.h"

#include <QObject>

namespace klv {

class Alerts;
class InstallationEngine;
class InstallationQueueLock;
class InstallationTurn;
class LoginSession;
class MarketingCenter;
class Notifier;
class ProductActions;
class ProductImages;
class ProductLibrary;
class Rewards;
class SelfUpdate;
class Services;
class StoreNotifications;

// Builds every part of the program over the shared services and wires them together. Lives on the main thread;
// the front ends stand on it.
class AppContext final : public QObject {
    Q_OBJECT
public:
    AppContext(Configuration configuration, Alerts &alerts, Clock clock = systemClock(), TickSource *ticks = nullptr,
               QObject *parent = nullptr);
    ~AppContext() override;

    Services &services() { return *m_services; }
    ProductLibrary &library() { return *m_library; }
    InstallationEngine &installationEngine() { return *m_engine; }
    ProductImages &productImages() { return *m_productImages; }
    ProductActions &productActions() { return *m_productActions; }
    SelfUpdate &selfUpdate() { return *m_selfUpdate; }
    MarketingCenter &marketing() { return *m_marketing; }
    Rewards &rewards() { return *m_rewards; }
    StoreNotifications &notifications() { return *m_notifications; }
    // Held while this process installs, updates or uninstalls; another process of the same home waits for it.
    InstallationQueueLock &installationQueueLock() { return *m_installationQueueLock; }
    // Takes that lock for work that changes what is installed and gives it back once all of it has ended.
    InstallationTurn &installationTurn() { return *m_installationTurn; }

    // Sign-out: forgets the customer, the cached library and the stored settings.
    void signOut();
    // Finishes or undoes the placements a stopped process left unfinished (kill -9, a crash, a power cut), when the
    // installation queue is free; at start-up and whenever this process takes the queue.
    void recoverUnfinishedInstallations();
    // A sign-in form's session; signing in as another customer signs the previous one out first.
    LoginSession *createLoginSession(QObject *parent);

private:
    // Only while this process holds the installation queue: no other one is downloading.
    void removeStalePartialDownloads();
    // After another process changed the folders; the window and klv read the states from the library.
    void redetectInstalledStates();

    Services *m_services;
    ProductLibrary *m_library;
    InstallationEngine *m_engine;
    ProductImages *m_productImages;
    ProductActions *m_productActions;
    SelfUpdate *m_selfUpdate;
    MarketingCenter *m_marketing;
    Rewards *m_rewards;
    Notifier *m_notifier;
    StoreNotifications *m_notifications;
    InstallationQueueLock *m_installationQueueLock;
    InstallationTurn *m_installationTurn = nullptr;
};

} // namespace klv
