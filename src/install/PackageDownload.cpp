#include "install/PackageDownload.h"

#include "core/ByteCountFormat.h"
#include "core/Diagnostics.h"
#include "core/DownloadFolder.h"
#include "store/StoreClient.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStorageInfo>

#include <cerrno>

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

void PackageDownload::setResumable() {
    m_resumable = true;
}

PackageDownload::~PackageDownload() {
    if (QNetworkReply *reply = m_reply.data())
        reply->abort();
    // A reader must never wait for bytes that will not come.
    if (m_growing)
        m_growing->end(u"The download was cancelled."_s);
}

QStringList PackageDownload::Result::logLines(const QString &productName) const {
    QStringList lines;
    if (resumedFrom > 0)
        lines << QStringLiteral("Resumed the download of %1 at %2 of %3 bytes")
                     .arg(productName)
                     .arg(resumedFrom)
                     .arg(bytes);
    if (succeeded())
        lines << QStringLiteral("Received %1 bytes over the network for the %2-byte package of %3")
                     .arg(transferred)
                     .arg(bytes)
                     .arg(productName);
    return lines;
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
    if (m_resumable) {
        // A kept part beyond what the store announced can only be of another file: it starts over.
        if (const auto kept = PartialDownload::continuable(m_file.fileName(), m_url);
            kept && kept->second <= m_byteLimit) {
            m_validators = kept->first;
            m_offset = kept->second;
            m_result.bytes = m_offset;
            m_result.resumedFrom = m_offset;
            m_received = m_offset;
            m_bytesAtAttemptStart = m_offset;
        }
    }
    const QIODevice::OpenMode mode =
        m_offset > 0 ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!QDir().mkpath(QFileInfo(m_file).path()) || !m_file.open(mode)) {
        failLater(saveFailure());
        return;
    }
    sendRequest();
}

QString PackageDownload::saveFailure() const {
    // Taken at once: anything called later may change it. A full disk is told as one, and where: Qt often words it
    // as an unknown error.
    const int error = errno;
    const QString folder = QFileInfo(m_file.fileName()).absolutePath();
    const QStorageInfo disk(folder);
    if (error == ENOSPC || error == EDQUOT || (disk.isValid() && disk.bytesAvailable() < fullDiskMargin))
        return u"The download could not be saved to "_s + m_file.fileName() + u": the disk is full (“"_s +
               (disk.isValid() ? disk.rootPath() : folder) + u"”). Free some room there and try again."_s;
    return u"The download could not be saved to "_s + m_file.fileName() + u": "_s + m_file.errorString();
}

void PackageDownload::sendRequest() {
    QNetworkRequest request(m_url);
    m_store.prepare(request);
    if (m_offset > 0) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(m_offset) + '-');
        request.setRawHeader("If-Range", m_validators.ifRange());
    }
    qCDebug(klvInstall).noquote() << "Download" << PartialDownload::addressOf(m_url) << "from byte" << m_offset;
    QNetworkReply *reply = m_network.get(request);
    m_reply = reply;
    m_errorPageBytes = 0;
    // Keep the network buffer small: bytes go to disk as they arrive.
    reply->setReadBufferSize(1 << 20);
    connect(reply, &QNetworkReply::metaDataChanged, this, &PackageDownload::takeHeaders);
    connect(reply, &QNetworkReply::readyRead, this, &PackageDownload::writeAvailable);
    connect(reply, &QNetworkReply::finished, this, &PackageDownload::complete);
    m_receivedAtWindowStart = m_received;
    m_paceCheck.start();
}

void PackageDownload::takeHeaders() {
    QNetworkReply *reply = m_reply.data();
    if (!reply)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    qCDebug(klvInstall).noquote() << "Download answered" << status << "with" << length.toLongLong() << "bytes"
                                  << reply->rawHeader("Content-Range");
    if (status == 206 && m_offset > 0) {
        static const QRegularExpression range(QStringLiteral("^bytes (\\d+)-\\d+/(\\d+)$"));
        const QRegularExpressionMatch match = range.match(QString::fromLatin1(reply->rawHeader("Content-Range")));
        if (!match.hasMatch() || match.captured(1).toLongLong() != m_offset) {
            fail(u"The store answered the download of "_s + m_url.toString() + u" with another part of the file."_s);
            return;
        }
        m_fullSize = match.captured(2).toLongLong();
        m_result.bytes = m_offset;
        m_received = m_offset;
        m_receivedAtWindowStart = m_offset;
        if (m_growing && !m_readerFed) {
            m_readerFed = true;
            m_growing->grew(m_offset);
        }
    } else if (status >= 200 && status < 300) {
        // The whole file: a store that ignores ranges, or a file that changed since the bytes kept were written.
        if (m_offset > 0 || m_result.bytes > 0) {
            if (m_readerFed) {
                fail(u"The package "_s + m_url.toString() +
                     u" changed on the store while it downloaded; install it again to download it anew."_s);
                return;
            }
            m_file.resize(0);
            m_offset = 0;
            m_result.bytes = 0;
            m_result.resumedFrom = 0;
            m_received = 0;
            m_bytesAtAttemptStart = 0;
            m_receivedAtWindowStart = 0;
        }
        m_fullSize = length.isValid() ? length.toLongLong() : -1;
        m_validators = {PartialDownload::addressOf(m_url), reply->rawHeader("ETag"), reply->rawHeader("Last-Modified")};
        if (m_resumable && !m_validators.ifRange().isEmpty())
            PartialDownload::writeNote(m_file.fileName(), m_validators);
    }
    if (length.isValid())
        withinLimit(m_offset + length.toLongLong());
}

bool PackageDownload::retry() {
    // Attempts count failures in a row: a connection that brought bytes before it broke starts the count again, so
    // that a long download over a line that drops now and then is not given up.
    if (m_result.bytes > m_bytesAtAttemptStart)
        m_attempt = 1;
    if (m_attempt >= DownloadLimits::attempts || m_result.cancelled)
        return false;
    // Continuing needs a validator; without one the download starts over, which a reader already fed forbids.
    if (m_result.bytes > 0 && m_validators.ifRange().isEmpty() && m_readerFed)
        return false;
    dropReply();
    if (!m_file.flush())
        return false;
    ++m_attempt;
    Q_EMIT reconnecting(m_attempt, DownloadLimits::attempts);
    const auto pause = m_limits.retryDelay * (1 << (m_attempt - 2));
    QTimer::singleShot(pause, this, [this] {
        if (!m_done && !m_paused)
            continueFromFile();
    });
    return true;
}

void PackageDownload::continueFromFile() {
    m_offset = m_validators.ifRange().isEmpty() ? 0 : m_result.bytes;
    if (m_offset == 0 && m_readerFed) {
        fail(u"The download of "_s + m_url.toString() + u" cannot be continued: the store names no version of it."_s);
        return;
    }
    if (m_offset == 0) {
        m_file.resize(0);
        m_result.bytes = 0;
    }
    m_received = m_offset;
    m_bytesAtAttemptStart = m_offset;
    sendRequest();
}

void PackageDownload::dropReply() {
    m_paceCheck.stop();
    if (QNetworkReply *reply = m_reply.data()) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_reply = nullptr;
}

bool PackageDownload::pause() {
    if (m_done || m_paused)
        return false;
    m_paused = true;
    dropReply();
    if (!m_file.flush())
        fail(saveFailure());
    return true;
}

bool PackageDownload::resume() {
    if (m_done || !m_paused)
        return false;
    m_paused = false;
    // A pause is the customer's, not a failure: the attempts start afresh.
    m_attempt = 1;
    continueFromFile();
    return true;
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
    // Its size is its own: after a kept part longer than the file on the server, the refusal that says so (416)
    // must not count as bytes of the package.
    if (status >= 300) {
        if (withinLimit(m_errorPageBytes + reply->bytesAvailable())) {
            const qint64 skipped = reply->skip(reply->bytesAvailable());
            m_errorPageBytes += skipped;
            m_received += skipped;
        }
        return;
    }
    while (reply->bytesAvailable() > 0) {
        const QByteArray chunk = reply->read(1 << 20);
        if (!withinLimit(m_received + chunk.size()))
            return;
        m_received += chunk.size();
        if (m_file.write(chunk) != chunk.size()) {
            fail(saveFailure());
            return;
        }
        m_result.bytes += chunk.size();
        m_result.transferred += chunk.size();
    }
    Q_EMIT progressed(m_result.bytes, m_fullSize);
    if (m_growing) {
        if (!m_file.flush()) {
            fail(saveFailure());
            return;
        }
        m_growing->grew(m_result.bytes);
        m_readerFed = m_readerFed || m_result.bytes > 0;
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
        // A trickle is no progress: a stalled attempt counts towards giving up whatever it brought.
        m_bytesAtAttemptStart = m_result.bytes;
        if (retry())
            return;
        fail(QStringLiteral("The download of %1 stalled: less than 1 KB a second for %2 seconds; it was stopped.")
                 .arg(m_url.toString())
                 .arg(double(windowMs) / 1000.0),
             Partial::keep);
        return;
    }
    m_receivedAtWindowStart = m_received;
}

void PackageDownload::complete() {
    if (m_done)
        return;
    m_paceCheck.stop();
    bool transient = false;
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
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        const bool endedEarly = reply->error() == QNetworkReply::NoError && m_result.httpStatus < 300 &&
                                announced.isValid() && m_offset + announced.toLongLong() != m_result.bytes;
        // Bytes kept beyond the file's end (it shrank): nothing of them can be continued.
        const bool beyondTheEnd = m_result.httpStatus == 416 && !m_readerFed;
        if (beyondTheEnd)
            m_validators = {};
        transient = !m_result.cancelled && (m_result.httpStatus >= 500 || endedEarly || beyondTheEnd ||
                                            (m_result.httpStatus < 300 && reply->error() != QNetworkReply::NoError));
        if (transient && retry())
            return;
        if (m_result.cancelled) {
            m_result.error = QStringLiteral("The download was cancelled.");
        } else if (m_result.httpStatus >= 300) {
            m_result.error =
                QStringLiteral("The server answered %1 for %2.").arg(m_result.httpStatus).arg(m_url.toString());
        } else if (reply->error() != QNetworkReply::NoError) {
            m_result.error = u"The download of " + m_url.toString() + u" failed: " + reply->errorString();
        } else if (endedEarly) {
            m_result.error = QStringLiteral("The download of %1 ended early (%2 of %3 bytes).")
                                 .arg(m_url.toString())
                                 .arg(m_result.bytes)
                                 .arg(m_offset + announced.toLongLong());
        }
    }
    m_done = true;
    if (QNetworkReply *reply = m_reply.data())
        reply->deleteLater();
    if (!m_file.flush() && m_result.succeeded())
        m_result.error = saveFailure();
    m_file.close();
    if (m_result.succeeded()) {
        if (m_resumable)
            QFile::remove(DownloadFolder::noteOf(m_file.fileName()));
    } else {
        dropUnlessKept(m_result.cancelled || transient ? Partial::keep : Partial::drop);
    }
    finish();
}

void PackageDownload::finish() {
    qCDebug(klvInstall).noquote() << "Download of" << PartialDownload::addressOf(m_url) << "ended at" << m_result.bytes
                                  << "bytes" << m_result.error;
    if (m_growing)
        m_growing->end(m_result.succeeded() ? std::nullopt : std::optional<QString>(m_result.error));
    Q_EMIT finished(m_result);
}

void PackageDownload::fail(const QString &error, Partial partial) {
    if (m_done)
        return;
    m_result.error = error;
    dropReply();
    m_done = true;
    m_file.close();
    dropUnlessKept(partial);
    finish();
}

void PackageDownload::dropUnlessKept(Partial partial) {
    // What a resumable download received stays for the next attempt, unless nothing can continue it.
    if (partial == Partial::keep && m_resumable && QFileInfo(m_file.fileName()).size() > 0 &&
        QFileInfo::exists(DownloadFolder::noteOf(m_file.fileName())))
        return;
    m_file.remove();
    if (m_resumable)
        QFile::remove(DownloadFolder::noteOf(m_file.fileName()));
}

} // namespace klv
