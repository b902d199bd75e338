#pragma once

#include "core/Error.h"

#include "core/Clock.h"
#include "core/Configuration.h"
#include "core/Locations.h"
#include "core/ProductImageMapArchive.h"
#include "core/Settings.h"
#include "core/SharedFormatters.h"
#include "core/TickSource.h"
#include "store/LogFile.h"
#include "store/Reporter.h"

#include <QNetworkAccessManager>
#include <QObject>

#include <memory>
#include <optional>

namespace klv {

class Alerts;
class DesktopServices;
class StoreClient;

// What every part of the program shares: configuration, locations, settings, the picture map, the log, the
// reporter, the network and the store client, the clock and its beat, desktop services and the versions. Lives on the
// main thread; each part receives it together with the specific parts it works with.
class Services final : public QObject {
    Q_OBJECT
public:
    // Without a tick source of its own, a timer beats once a second.
    Services(Configuration configuration, Alerts &alerts, Clock clock = systemClock(), TickSource *ticks = nullptr,
             QObject *parent = nullptr);
    ~Services() override;

    const Configuration &configuration() const { return m_configuration; }
    const Locations &locations() const { return m_locations; }
    LogFile &log() { return m_log; }
    const Reporter &reporter() const { return m_reporter; }
    Settings &settings() { return m_settings; }
    StoreClient &store() { return *m_store; }
    // Opening pages, showing folders and copying text; until a front end provides them, each is only logged.
    DesktopServices &desktop() { return *m_desktop; }
    void setDesktopServices(DesktopServices &desktop) { m_desktop = &desktop; }
    QNetworkAccessManager &network() { return m_network; }
    const Clock &clock() const { return m_clock; }
    TickSource &ticks() { return *m_ticks; }

    // Settings, then the picture map file (created empty when missing or unreadable).
    void loadUserData();
    // Rewrites the picture map file from productImageMap; the error text on failure.
    Error saveProductImageMap() const;

    bool detailLogEnabled = false;
    QString appVersion;
    QString macOSVersion;
    ProductImageMap productImageMap;
    DateFormatter sharedDateFormatter;
    NumberFormatter sharedNumberFormatter;

private:
    Configuration m_configuration;
    Clock m_clock;
    TickSource *m_ticks;
    Locations m_locations;
    LogFile m_log;
    Reporter m_reporter;
    Settings m_settings;
    QNetworkAccessManager m_network;
    StoreClient *m_store;
    std::unique_ptr<DesktopServices> m_loggedDesktop;
    DesktopServices *m_desktop;
};

} // namespace klv
