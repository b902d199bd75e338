#include "store/StoreClient.h"

#include "core/ByteCountFormat.h"
#include "core/Configuration.h"
#include "core/Diagnostics.h"
#include "store/BoundedReplyBody.h"
#include "store/Reporter.h"
#include "store/RequestEnvelope.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace klv {

namespace {

qint64 wholeSeconds(std::chrono::milliseconds duration) {
    return std::chrono::duration_cast<std::chrono::seconds>(duration).count();
}

std::chrono::milliseconds deadlineFromEnvironment() {
    bool valid = false;
    const qint64 overridden = qEnvironmentVariable("KLV_STORE_DEADLINE_MS").toLongLong(&valid);
    return valid && overridden > 0 ? std::chrono::milliseconds(overridden) : StoreClient::requestDeadline;
}

// Qt's own texts name the request's address, which carries the encrypted query; these never do.
QString transportErrorText(QNetworkReply::NetworkError error, std::chrono::milliseconds timeout) {
    switch (error) {
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
        // Apart from the deadline, the transfer time-out is what cancels a store request: nothing else does.
        return QStringLiteral("the store did not answer within %1 seconds.").arg(wholeSeconds(timeout));
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("the store refused the connection.");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("the store closed the connection without an answer.");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("the store's host name is not known.");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("the secure connection to the store could not be established.");
    default:
        return QStringLiteral("network error %1.").arg(int(error));
    }
}

} // namespace

StoreClient::StoreClient(QNetworkAccessManager &network, const Configuration &configuration, const Reporter &reporter,
                         QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_configuration(configuration)
    , m_reporter(reporter)
    , m_deadline(deadlineFromEnvironment()) {
    if (!configuration.caFile.isEmpty()) {
        m_extraCertificates = QSslCertificate::fromPath(configuration.caFile);
        if (m_extraCertificates.isEmpty())
            reporter.appendLog(u"KLV App Error: no certificate could be read from " + configuration.caFile);
    }
}

QString StoreClient::endpointAddress(StoreEndpoint endpoint) const {
    return m_configuration.storeUrl + endpointPath(endpoint);
}

QString StoreClient::keyFor(StoreEndpoint endpoint) const {
    return endpoint == StoreEndpoint::marketing ? m_configuration.marketingKey : m_configuration.storeKey;
}

void StoreClient::setLimits(std::chrono::milliseconds timeout, qint64 maxBytes) {
    m_timeout = timeout;
    m_maxAnswerBytes = maxBytes;
}

void StoreClient::prepare(QNetworkRequest &request) const {
    request.setTransferTimeout(int(m_timeout.count()));
    if (!m_extraCertificates.isEmpty()) {
        QSslConfiguration tls = request.sslConfiguration();
        tls.addCaCertificates(m_extraCertificates);
        request.setSslConfiguration(tls);
    }
}

QString StoreClient::send(StoreEndpoint endpoint, const QString &requestType, const QStringList &parameters,
                          QObject *context, ResponseHandler handler) {
    const RequestQuery query = buildRequestQuery(parameters, requestType, keyFor(endpoint), m_configuration.appVersion);
    if (query.setupError) {
        // The request still goes out (to the bare address); the alert waits for the event loop.
        QMetaObject::invokeMethod(
            this,
            [this, error = *query.setupError] {
                m_reporter.showAlert(QStringLiteral("Alert"), u"Error initializing AES: " + error,
                                     QStringLiteral("OK"));
            },
            Qt::QueuedConnection);
    }
    for (const QString &error : query.encryptionErrors)
        m_reporter.appendLog(u"Error: " + error);

    QNetworkRequest request{QUrl(endpointAddress(endpoint) + query.text, QUrl::StrictMode)};
    prepare(request);
    qCDebug(klvStore).noquote() << "Request" << requestType << "to" << endpointAddress(endpoint);
    QNetworkReply *reply = m_network.get(request);
    auto *body = new BoundedReplyBody(*reply, m_maxAnswerBytes);
    // The transfer time-out only notices silence; a trickle of bytes passes it forever.
    auto overdue = std::make_shared<bool>(false);
    QTimer::singleShot(m_deadline, reply, [reply, overdue] {
        *overdue = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, context,
                     [reply, body, overdue, timeout = m_timeout, deadline = m_deadline, limit = m_maxAnswerBytes,
                      handler = std::move(handler)] {
                         reply->deleteLater();
                         StoreResponse response;
                         const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                         response.httpStatus = status.toInt();
                         response.body = body->take();
                         if (body->exceeded()) {
                             response.transportError =
                                 u"the store's answer is larger than " + formatByteCount(limit) + u'.';
                         } else if (*overdue) {
                             response.transportError = QStringLiteral("the store's answer did not arrive within %1 "
                                                                      "seconds.")
                                                           .arg(wholeSeconds(deadline));
                         } else {
                             response.hasBody = status.isValid();
                             if (reply->error() != QNetworkReply::NoError)
                                 response.transportError = transportErrorText(reply->error(), timeout);
                         }
                         qCDebug(klvStore).noquote() << "Answer" << response.httpStatus << "with"
                                                     << response.body.size() << "bytes" << response.transportError;
                         handler(std::move(response));
                     });
    return endpointAddress(endpoint) + u" (" + requestType + u')';
}

} // namespace klv
