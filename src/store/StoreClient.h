#pragma once

#include "store/StoreEndpoint.h"
#include "store/StoreResponse.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QStringList>

#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkRequest;

namespace klv {

struct Configuration;
class Reporter;

// Sends store requests: one GET with the encrypted query, no retry. A request ends when nothing arrives for 60
// seconds, and whatever arrives when its whole answer has not come within the deadline (three minutes; tests set
// KLV_STORE_DEADLINE_MS): a store sending a byte now and then never holds a request open for good. Answers are
// handed over on the thread that owns the context object (the main thread).
class StoreClient final : public QObject {
    Q_OBJECT
public:
    // The response is the handler's to keep: a library answer's body can be tens of megabytes.
    using ResponseHandler = std::function<void(StoreResponse &&)>;

    static constexpr std::chrono::milliseconds requestTimeout{60'000};
    static constexpr std::chrono::milliseconds requestDeadline{180'000};
    // No store answer (a JSON object) comes near this; a longer one is refused while it arrives, never held whole.
    static constexpr qint64 maxAnswerBytes = qint64(64) << 20;

    StoreClient(QNetworkAccessManager &network, const Configuration &configuration, const Reporter &reporter,
                QObject *parent = nullptr);

    // The service address, ending with "/".
    QString endpointAddress(StoreEndpoint endpoint) const;
    // Returns the request as log lines may name it: the service address and the request type. The full address
    // carries the encrypted query and is never written anywhere.
    QString send(StoreEndpoint endpoint, const QString &requestType, const QStringList &parameters, QObject *context,
                 ResponseHandler handler);
    // Applies the trusted certificates and time-out shared by every request of the program.
    void prepare(QNetworkRequest &request) const;
    // Tests shorten the waits and bounds.
    void setLimits(std::chrono::milliseconds timeout, qint64 maxBytes);

private:
    QString keyFor(StoreEndpoint endpoint) const;

    QNetworkAccessManager &m_network;
    const Configuration &m_configuration;
    const Reporter &m_reporter;
    QList<QSslCertificate> m_extraCertificates;
    std::chrono::milliseconds m_timeout = requestTimeout;
    std::chrono::milliseconds m_deadline;
    qint64 m_maxAnswerBytes = maxAnswerBytes;
};

} // namespace klv
