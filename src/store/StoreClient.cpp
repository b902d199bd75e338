#include "store/StoreClient.h"

#include "core/Configuration.h"
#include "store/Reporter.h"
#include "store/RequestEnvelope.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QUrl>

namespace klv {

namespace {
constexpr int requestTimeoutMs = 60'000;
}

StoreClient::StoreClient(QNetworkAccessManager &network, const Configuration &configuration, const Reporter &reporter,
                         QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_configuration(configuration)
    , m_reporter(reporter) {
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

void StoreClient::prepare(QNetworkRequest &request) const {
    request.setTransferTimeout(requestTimeoutMs);
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

    const QString address = endpointAddress(endpoint) + query.text;
    QNetworkRequest request{QUrl(address, QUrl::StrictMode)};
    prepare(request);
    QNetworkReply *reply = m_network.get(request);
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, handler = std::move(handler)] {
        reply->deleteLater();
        StoreResponse response;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        response.hasBody = status.isValid();
        response.httpStatus = status.toInt();
        response.body = reply->readAll();
        if (reply->error() != QNetworkReply::NoError)
            response.transportError = reply->errorString();
        handler(response);
    });
    return address;
}

} // namespace klv
