#include "store/Services.h"

#include "core/AtomicFileWrite.h"
#include "core/Diagnostics.h"
#include "core/TimerTickSource.h"

#include "store/DesktopServices.h"
#include "store/StoreClient.h"

#include <QFile>
#include <QNetworkProxyFactory>

namespace klv {

namespace {

void writeEmptyImageMap(const QString &path) {
    if (const Error error = writeFileAtomically(path, ProductImageMapArchive::encode({})))
        qCWarning(klvStore).noquote() << "KLV App Error write data to:" << urlDescription(path) << "with error"
                                      << *error;
}

// Stands in while no front end offers desktop services: the request is at least on record.
class LoggedDesktopServices final : public DesktopServices {
public:
    explicit LoggedDesktopServices(LogFile &log)
        : m_log(log) {}
    void openUrl(const QUrl &url) override { m_log.appendLog(u"Not opened (no desktop): " + url.toString()); }
    void revealFolder(const QString &path) override { m_log.appendLog(u"Not shown (no desktop): " + path); }
    void copyText(const QString &text) override { m_log.appendLog(u"Not copied (no desktop): " + text); }

private:
    LogFile &m_log;
};

} // namespace

Services::Services(Configuration configuration, Alerts &alerts, Clock clock, TickSource *ticks, QObject *parent)
    : QObject(parent)
    , appVersion(configuration.appVersion)
    , m_configuration(std::move(configuration))
    , m_clock(std::move(clock))
    , m_ticks(ticks ? ticks : new TimerTickSource(this))
    , m_locations(Locations::forCurrentUser(m_configuration.groupId, m_configuration.bundleId))
    , m_log(m_locations.logFileURL)
    , m_reporter(m_log, alerts)
    , m_settings(m_locations.settingsFileURL, m_clock)
    , m_store(new StoreClient(m_network, m_configuration, m_reporter, this))
    , m_loggedDesktop(std::make_unique<LoggedDesktopServices>(m_log))
    , m_desktop(m_loggedDesktop.get()) {
    // As other programs on the desktop: http_proxy, https_proxy, no_proxy and the desktop's own proxy settings.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

Services::~Services() = default;

void Services::loadUserData() {
    m_settings.loadSettings();
    productImageMap.clear();
    const QString path = m_locations.userDataFileURL;
    QFile file(path);
    if (file.exists() && file.size() <= ProductImageMapArchive::maxArchiveBytes && file.open(QIODevice::ReadOnly)) {
        if (const std::optional<ProductImageMap> stored = ProductImageMapArchive::decode(file.readAll())) {
            productImageMap = *stored;
            return;
        }
    }
    // A garbled or oversized map holds nothing worth keeping: it starts afresh like a missing one.
    writeEmptyImageMap(path);
}

Error Services::saveProductImageMap() const {
    return writeFileAtomically(m_locations.userDataFileURL, ProductImageMapArchive::encode(productImageMap));
}

} // namespace klv
