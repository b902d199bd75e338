#pragma once

#include "core/Clock.h"
#include "core/Configuration.h"
#include "core/Locations.h"
#include "core/ProductImageMapArchive.h"
#include "core/Settings.h"
#include "core/SharedFormatters.h"
#include "store/LogFile.h"
#include "store/Reporter.h"

#include <QNetworkAccessManager>
#include <QObject>

#include <memory>

namespace klv {

class Alerts;
class DesktopServices;
class InstallationEngine;
class MarketingCenter;
class Notifier;
class ProductActions;
class ProductImages;
class ProductLibrary;
class Rewards;
class SelfUpdate;
class StoreNotifications;
class StoreClient;

// Owns the state every part of the program shares: configuration, locations, settings, the picture map,
// the log and the store client. Lives on the main thread; handed to whoever needs it.
class AppContext final : public QObject {
    Q_OBJECT
public:
    AppContext(Configuration configuration, Alerts &alerts, Clock clock = systemClock(), QObject *parent = nullptr);
    ~AppContext() override;

    const Configuration &configuration() const { return m_configuration; }
    const Locations &locations() const { return m_locations; }
    LogFile &log() { return m_log; }
    const Reporter &reporter() const { return m_reporter; }
    Settings &settings() { return m_settings; }
    StoreClient &store() { return *m_store; }
    ProductLibrary &library() { return *m_library; }
    InstallationEngine &installationEngine() { return *m_engine; }
    ProductImages &productImages() { return *m_productImages; }
    ProductActions &productActions() { return *m_productActions; }
    SelfUpdate &selfUpdate() { return *m_selfUpdate; }
    MarketingCenter &marketing() { return *m_marketing; }
    Rewards &rewards() { return *m_rewards; }
    StoreNotifications &notifications() { return *m_notifications; }
    // Opening pages, showing folders and copying text; until a front end provides them, each is only logged.
    DesktopServices &desktop() { return *m_desktop; }
    void setDesktopServices(DesktopServices &desktop) { m_desktop = &desktop; }
    QNetworkAccessManager &network() { return m_network; }
    const Clock &clock() const { return m_clock; }

    // Settings, then the picture map file (created empty when missing or unreadable).
    void loadUserData();
    // Sign-out: forgets the customer, the cached library and the stored settings.
    void signOut();
    // Rewrites the picture map file from productImageMap; the error text on failure.
    std::optional<QString> saveProductImageMap() const;

    bool detailLogEnabled = false;
    QString appVersion;
    QString macOSVersion;
    ProductImageMap productImageMap;
    DateFormatter sharedDateFormatter;
    NumberFormatter sharedNumberFormatter;

private:
    Configuration m_configuration;
    Clock m_clock;
    Locations m_locations;
    LogFile m_log;
    Reporter m_reporter;
    Settings m_settings;
    QNetworkAccessManager m_network;
    StoreClient *m_store;
    ProductLibrary *m_library;
    InstallationEngine *m_engine;
    ProductImages *m_productImages;
    ProductActions *m_productActions;
    SelfUpdate *m_selfUpdate;
    MarketingCenter *m_marketing;
    Rewards *m_rewards;
    Notifier *m_notifier;
    StoreNotifications *m_notifications;
    std::unique_ptr<DesktopServices> m_loggedDesktop;
    DesktopServices *m_desktop;
};

} // namespace klv
