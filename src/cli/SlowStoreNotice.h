#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>

class QNetworkAccessManager;

namespace klv {
class StoreClient;
}

namespace klv::cli {

class Terminal;

// Says once, a few seconds into a store request still unanswered, that the store is slow to answer, so a stalled
// store is not silent until the request's own deadline gives up on it.
class SlowStoreNotice final : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds after{4'000};

    SlowStoreNotice(QNetworkAccessManager &network, const StoreClient &store, const Terminal &terminal);

private:
    void look();

    QNetworkAccessManager &m_network;
    const Terminal &m_terminal;
    QStringList m_storeAddresses;
    QElapsedTimer m_clock;
    QTimer m_beat;
};

} // namespace klv::cli
