#include "core/AppContext.h"

#include "library/ProductCache.h"
#include "library/ProductLibrary.h"
#include "store/StoreClient.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace klv {

namespace {

void writeEmptyImageMap(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(ProductImageMapArchive::encode({})) < 0) {
        std::fprintf(stderr, "KLV App Error write data to: %s with error %s\n", qUtf8Printable(urlDescription(path)),
                     qUtf8Printable(file.errorString()));
    }
}

} // namespace

AppContext::AppContext(Configuration configuration, Alerts &alerts, Clock clock, QObject *parent)
    : QObject(parent)
    , appVersion(configuration.appVersion)
    , m_configuration(std::move(configuration))
    , m_clock(std::move(clock))
    , m_locations(Locations::forCurrentUser(m_configuration.groupId, m_configuration.bundleId))
    , m_log(m_locations.logFileURL)
    , m_reporter(m_log, alerts)
    , m_settings(m_locations.settingsFileURL, m_clock)
    , m_store(new StoreClient(m_network, m_configuration, m_reporter, this))
    , m_library(new ProductLibrary(*this, fileCreationDate, this)) {}

AppContext::~AppContext() = default;

void AppContext::loadUserData() {
    m_settings.loadSettings();
    productImageMap.clear();
    const QString path = m_locations.userDataFileURL;
    QFile file(path);
    if (file.exists() && file.open(QIODevice::ReadOnly)) {
        if (const std::optional<ProductImageMap> stored = ProductImageMapArchive::decode(file.readAll())) {
            productImageMap = *stored;
            return;
        }
        // A garbled map holds nothing worth keeping: start it afresh like a missing one.
    }
    writeEmptyImageMap(path);
}

std::optional<QString> AppContext::saveProductImageMap() const {
    QSaveFile file(m_locations.userDataFileURL);
    if (file.open(QIODevice::WriteOnly) && file.write(ProductImageMapArchive::encode(productImageMap)) >= 0 &&
        file.commit())
        return std::nullopt;
    return file.errorString();
}

void AppContext::signOut() {
    m_settings.userEmail.clear();
    m_settings.userPassword.clear();
    clearProductCaches(m_locations);
    productImageMap.clear();
    m_settings.resetSettings();
}

} // namespace klv
