#include "install/PackageDownload.h"

#include "core/ByteCountFormat.h"
#include "store/StoreClient.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

namespace klv {

using namespace Qt::StringLiterals;

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
    , m_file(targetPath)
    , m_limits(DownloadLimits::fromEnvironment())
    , m_byteLimit(m_limits.maximumBytes)
    , m_limitReason(u"the largest download accepted, "_s + formatByteCount(m_byteLimit)) {
    m_result.filePath = std::move(targetPath);
    m_paceCheck.setInterval(m_limits.stallWindow);
    connect(&m_paceCheck, &QTimer::timeout, this, &PackageDownload::checkPace);
}

void PackageDownload::setAnnouncedSize(qint64 bytes) {
    if (bytes <= 0)
        return;
    m_byteLimit = DownloadLimits::withMargin(bytes);
    m_limitReason = u"the "_s + formatByteCount(bytes) + u" the store announced"_s;
}

void PackageDownload::setGrowingDownload(std::shared_ptr<GrowingDownload> growing) {
    m_growing = std::move(growing);
}

PackageDownload::~PackageDownload() {
    if (QNetworkReply *reply = m_reply.data())
        reply->abort();
    // A reader must never wait for bytes that will not come.
    if (m_growing)
        m_growing->end(u"The download was cancelled."_s);
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
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        if (const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader); length.isValid())
            withinLimit(length.toLongLong());
    });
    connect(reply, &QNetworkReply::readyRead, this, &PackageDownload::writeAvailable);
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64 total) {
        // An error page is no part of the package: its bytes never count as progress.
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 200 && status < 300)
            Q_EMIT progressed(received, total);
    });
    connect(reply, &QNetworkReply::finished, this, &PackageDownload::complete);
    m_paceCheck.start();
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
        if (withinLimit(m_received + reply->bytesAvailable()))
            m_received += reply->skip(reply->bytesAvailable());
        return;
    }
    while (reply->bytesAvailable() > 0) {
        const QByteArray chunk = reply->read(1 << 20);
        if (!withinLimit(m_received + chunk.size()))
            return;
        m_received += chunk.size();
        if (m_file.write(chunk) != chunk.size()) {
            fail(u"The download could not be saved to " + m_file.fileName() + u": " + m_file.errorString());
            return;
        }
        m_result.bytes += chunk.size();
    }
    if (m_growing) {
        if (!m_file.flush()) {
            fail(u"The download could not be saved to " + m_file.fileName() + u": " + m_file.errorString());
            return;
        }
        m_growing->grew(m_result.bytes);
    }
}

bool PackageDownload::withinLimit(qint64 bytes) {
    if (bytes <= m_byteLimit)
        return true;
    fail(u"The download of "_s + m_url.toString() + u" is larger than "_s + m_limitReason + u"; it was stopped."_s);
    return false;
}

void PackageDownload::checkPace() {
    const qint64 windowMs = m_limits.stallWindow.count();
    if (m_received - m_receivedAtWindowStart < m_limits.minimumBytesPerSecond * windowMs / 1000) {
        fail(QStringLiteral("The download of %1 stalled: less than 1 KB a second for %2 seconds; it was stopped.")
                 .arg(m_url.toString())
                 .arg(double(windowMs) / 1000.0));
        return;
    }
    m_receivedAtWindowStart = m_received;
}

void PackageDownload::complete() {
    if (m_done)
        return;
    m_paceCheck.stop();
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
    if (!m_file.flush() && m_result.succeeded())
        m_result.error = u"The download could not be saved to " + m_file.fileName() + u": " + m_file.errorString();
    m_file.close();
    if (!m_result.succeeded())
        m_file.remove();
    finish();
}

void PackageDownload::finish() {
    if (m_growing)
        m_growing->end(m_result.succeeded() ? std::nullopt : std::optional<QString>(m_result.error));
    Q_EMIT finished(m_result);
}

void PackageDownload::fail(const QString &error) {
    if (m_done)
        return;
    m_result.error = error;
    m_paceCheck.stop();
    if (QNetworkReply *reply = m_reply.data()) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_done = true;
    m_file.close();
    m_file.remove();
    finish();
}

} // namespace klv
