#include "cli/SlowStoreNotice.h"

#include "cli/Terminal.h"

#include "store/StoreClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>

namespace klv::cli {

namespace {

constexpr std::chrono::milliseconds lookEvery{250};
const char *const firstSeenProperty = "klvFirstSeenMs";

} // namespace

SlowStoreNotice::SlowStoreNotice(QNetworkAccessManager &network, const StoreClient &store, const Terminal &terminal)
    : m_network(network)
    , m_terminal(terminal) {
    for (const StoreEndpoint endpoint : {StoreEndpoint::accountInfo, StoreEndpoint::product, StoreEndpoint::marketing})
        m_storeAddresses.append(store.endpointAddress(endpoint));
    m_clock.start();
    m_beat.setInterval(lookEvery);
    connect(&m_beat, &QTimer::timeout, this, &SlowStoreNotice::look);
    m_beat.start();
}

void SlowStoreNotice::look() {
    const qint64 now = m_clock.elapsed();
    // Qt makes every reply a child of its manager; downloads of files are not store requests.
    for (QNetworkReply *reply : m_network.findChildren<QNetworkReply *>()) {
        const QString address = reply->url().toString();
        if (!reply->isRunning() || std::none_of(m_storeAddresses.cbegin(), m_storeAddresses.cend(),
                                                [&address](const QString &store) { return address.startsWith(store); }))
            continue;
        const QVariant firstSeen = reply->property(firstSeenProperty);
        if (!firstSeen.isValid()) {
            reply->setProperty(firstSeenProperty, now);
            continue;
        }
        if (now - firstSeen.toLongLong() >= after.count()) {
            m_terminal.printNote(
                QStringLiteral("The store is slow to answer; still waiting (at most %1 seconds).")
                    .arg(std::chrono::duration_cast<std::chrono::seconds>(StoreClient::requestTimeout).count()));
            m_beat.stop();
            return;
        }
    }
}

} // namespace klv::cli
