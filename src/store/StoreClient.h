#pragma once

#include "store/StoreEndpoint.h"
#include "store/StoreResponse.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QStringList>

#include <functional>

class QNetworkAccessManager;
class QNetworkRequest;

namespace klv {

struct Configuration;
class Reporter;

// Sends store requests: one GET with the encrypted query, a 60-second time-out, no retry. Answers are
// handed over on the thread that owns the context object (the main thread).
class StoreClient final : public QObject {
    Q_OBJECT
public:
    using ResponseHandler = std::function<void(const StoreResponse &)>;

    StoreClient(QNetworkAccessManager &network, const Configuration &configuration, const Reporter &reporter,
                QObject *parent = nullptr);

    // The service address, ending with "/".
    QString endpointAddress(StoreEndpoint endpoint) const;
    // Returns the full request address (for log lines).
    QString send(StoreEndpoint endpoint, const QString &requestType, const QStringList &parameters, QObject *context,
                 ResponseHandler handler);
    // Applies the trusted certificates and time-out shared by every request of the program.
    void prepare(QNetworkRequest &request) const;

private:
    QString keyFor(StoreEndpoint endpoint) const;

    QNetworkAccessManager &m_network;
    const Configuration &m_configuration;
    const Reporter &m_reporter;
    QList<QSslCertificate> m_extraCertificates;
};

} // namespace klv
