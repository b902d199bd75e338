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
    if (m_reply)
        m_reply->abort();
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
    m_reply = m_network.get(request);
    // Keep the network buffer small: bytes go to disk as they arrive.
    m_reply->setReadBufferSize(1 << 20);
    connect(m_reply, &QNetworkReply::readyRead, this, &PackageDownload::writeAvailable);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &PackageDownload::progressed);
    connect(m_reply, &QNetworkReply::finished, this, &PackageDownload::complete);
}

void PackageDownload::cancel() {
    if (m_done)
        return;
    m_result.cancelled = true;
    if (m_reply)
        m_reply->abort();
    else
        complete();
}

void PackageDownload::writeAvailable() {
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // An error page is read and dropped, never written as the package.
    if (status >= 300) {
        m_reply->readAll();
        return;
    }
    while (m_reply->bytesAvailable() > 0) {
        const QByteArray chunk = m_reply->read(1 << 20);
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
    if (m_reply) {
        m_result.httpStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        m_result.mimeType =
            m_reply->header(QNetworkRequest::ContentTypeHeader).toString().section(u';', 0, 0).trimmed();
        m_result.suggestedFileName = suggestedName(*m_reply);
        if (m_reply->error() == QNetworkReply::NoError && m_result.httpStatus < 300)
            writeAvailable();
        if (m_done)
            return;
        if (m_result.cancelled) {
            m_result.error = QStringLiteral("The download was cancelled.");
        } else if (m_result.httpStatus >= 300) {
            m_result.error =
                QStringLiteral("The server answered %1 for %2.").arg(m_result.httpStatus).arg(m_url.toString());
        } else if (m_reply->error() != QNetworkReply::NoError) {
            m_result.error = u"The download of " + m_url.toString() + u" failed: " + m_reply->errorString();
        } else if (const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
                   length.isValid() && length.toLongLong() != m_result.bytes) {
            m_result.error = QStringLiteral("The download of %1 ended early (%2 of %3 bytes).")
                                 .arg(m_url.toString())
                                 .arg(m_result.bytes)
                                 .arg(length.toLongLong());
        }
    }
    m_done = true;
    m_file.close();
    if (!m_result.succeeded())
        m_file.remove();
    Q_EMIT finished(m_result);
}

void PackageDownload::fail(const QString &error) {
    if (m_done)
        return;
    m_result.error = error;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    m_done = true;
    m_file.close();
    m_file.remove();
    Q_EMIT finished(m_result);
}

} // namespace klv
