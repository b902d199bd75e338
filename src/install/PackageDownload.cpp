#include "install/PackageDownload.h"

#include "store/StoreClient.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

namespace klv {

namespace {

QString suggestedName(const QNetworkReply &reply) {
    static const QRegularExpression filename(QStringLiteral("filename\\*?=\"?([^\";]+)\"?"));
    const QString disposition = QString::fromLatin1(reply.rawHeader("Content-Disposition"));
    if (const QRegularExpressionMatch match = filename.match(disposition); match.hasMatch())
        return QFileInfo(match.captured(1)).fileName();
    return QFileInfo(reply.url().path()).fileName();
}

} // namespace

PackageDownload::PackageDownload(QNetworkAccessManager &network, const StoreClient &store, QUrl url, QString targetPath,
                                 QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_store(store)
    , m_url(std::move(url))
    , m_file(targetPath) {
    m_result.filePath = std::move(targetPath);
}

PackageDownload::~PackageDownload() {
    if (QNetworkReply *reply = m_reply.data())
        reply->abort();
}

void PackageDownload::start() {
    // Failures are reported from the event loop, like every other ending, never from inside start().
    const auto failLater = [this](const QString &error) {
        QMetaObject::invokeMethod(
            this, [this, error] { fail(error); }, Qt::QueuedConnection);
    };
    if (!m_url.isValid() || (m_url.scheme() != u"http" && m_url.scheme() != u"https")) {
        failLater(u"The download address \"" + m_url.toString() + u"\" is not a web address.");
        return;
    }
    if (!QDir().mkpath(QFileInfo(m_file).path()) || !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        failLater(u"The download could not be saved to " + m_file.fileName() + u": " + m_file.errorString());
        return;
    }
    QNetworkRequest request(m_url);
    m_store.prepare(request);
    QNetworkReply *reply = m_network.get(request);
    m_reply = reply;
    // Keep the network buffer small: bytes go to disk as they arrive.
    reply->setReadBufferSize(1 << 20);
    connect(reply, &QNetworkReply::readyRead, this, &PackageDownload::writeAvailable);
    connect(reply, &QNetworkReply::downloadProgress, this, &PackageDownload::progressed);
    connect(reply, &QNetworkReply::finished, this, &PackageDownload::complete);
}

void PackageDownload::cancel() {
    if (m_done)
        return;
    m_result.cancelled = true;
    if (QNetworkReply *reply = m_reply.data())
        reply->abort();
    else
        complete();
}

void PackageDownload::writeAvailable() {
    QNetworkReply *reply = m_reply.data();
    if (!reply)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // An error page is read and dropped, never written as the package.
    if (status >= 300) {
        reply->readAll();
        return;
    }
    while (reply->bytesAvailable() > 0) {
        const QByteArray chunk = reply->read(1 << 20);
        if (m_file.write(chunk) != chunk.size()) {
            fail(u"The download could not be saved to " + m_file.fileName() + u": " + m_file.errorString());
            return;
        }
        m_result.bytes += chunk.size();
    }
}

void PackageDownload::complete() {
    if (m_done)
        return;
    if (QNetworkReply *reply = m_reply.data()) {
        m_result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
        m_result.mimeType = contentType.section(u';', 0, 0).trimmed();
        static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*\"?([^\";\\s]+)"),
                                                QRegularExpression::CaseInsensitiveOption);
        m_result.textEncoding = charset.match(contentType).captured(1);
        m_result.suggestedFileName = suggestedName(*reply);
        if (reply->error() == QNetworkReply::NoError && m_result.httpStatus < 300)
            writeAvailable();
        if (m_done)
            return;
        if (m_result.cancelled) {
            m_result.error = QStringLiteral("The download was cancelled.");
        } else if (m_result.httpStatus >= 300) {
            m_result.error =
                QStringLiteral("The server answered %1 for %2.").arg(m_result.httpStatus).arg(m_url.toString());
        } else if (reply->error() != QNetworkReply::NoError) {
            m_result.error = u"The download of " + m_url.toString() + u" failed: " + reply->errorString();
        } else if (const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
                   length.isValid() && length.toLongLong() != m_result.bytes) {
            m_result.error = QStringLiteral("The download of %1 ended early (%2 of %3 bytes).")
                                 .arg(m_url.toString())
                                 .arg(m_result.bytes)
                                 .arg(length.toLongLong());
        }
    }
    m_done = true;
    if (QNetworkReply *reply = m_reply.data())
        reply->deleteLater();
    m_file.close();
    if (!m_result.succeeded())
        m_file.remove();
    Q_EMIT finished(m_result);
}

void PackageDownload::fail(const QString &error) {
    if (m_done)
        return;
    m_result.error = error;
    if (QNetworkReply *reply = m_reply.data()) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_done = true;
    m_file.close();
    m_file.remove();
    Q_EMIT finished(m_result);
}

} // namespace klv
