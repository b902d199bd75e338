#pragma once

#include "install/DownloadLimits.h"
#include "install/GrowingDownload.h"
#include "install/PartialDownload.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace klv {

class StoreClient;

// Streams one package to a file, so memory stays flat whatever its size. Only a complete 2xx answer
// counts: an error page is never kept as a package. A download stops and fails when its body grows beyond the size
// the store announced (with a margin) or, with none announced, beyond the configured maximum; and when it makes no
// real progress over the configured window (see DownloadLimits). With a GrowingDownload, a reader on another thread
// can consume the file while it is written; a failed download's file is removed, which an open reader survives.
// Transient failures are tried again from where the file stopped (DownloadLimits::attempts). A resumable download
// writes a PartialDownload: it continues the bytes an earlier attempt left, and keeps them when it fails.
class PackageDownload final : public QObject {
    Q_OBJECT
public:
    struct Result {
        // Empty on success; otherwise a sentence for the user.
        QString error;
        bool cancelled = false;
        QString filePath;
        QString mimeType;
        // The charset of the content type, empty when none was given.
        QString textEncoding;
        QString suggestedFileName;
        int httpStatus = 0;
        qint64 bytes = 0;
        // The bytes an earlier run had left, continued rather than downloaded again.
        qint64 resumedFrom = 0;
        // The bytes of the package that came over the network, over every attempt.
        qint64 transferred = 0;

        bool succeeded() const { return error.isEmpty() && !cancelled; }
        // What the log says of it for the product: where it continued an earlier download, and, once whole, how
        // much came over the network.
        QStringList logLines(const QString &productName) const;
    };

    PackageDownload(QNetworkAccessManager &network, const StoreClient &store, QUrl url, QString targetPath,
                    QObject *parent = nullptr);
    ~PackageDownload() override;

    // The size the store gave for the package; zero or less when it gave none. Call before start().
    void setAnnouncedSize(qint64 bytes);
    // Tells growth, then the ending, of the file to a reader. Call before start().
    void setGrowingDownload(std::shared_ptr<GrowingDownload> growing);
    // The target is a PartialDownload: continued when it can be, kept when the download fails. Call before start().
    void setResumable();
    void start();
    void cancel();
    // Stops receiving and keeps what arrived; resume() continues it with a range request. False when there is
    // nothing to pause (or to resume).
    bool pause();
    bool resume();
    bool isPaused() const { return m_paused; }
    const QUrl &url() const { return m_url; }

Q_SIGNALS:
    // bytesTotal is -1 while the size is unknown.
    void progressed(qint64 bytesReceived, qint64 bytesTotal);
    void finished(const klv::PackageDownload::Result &result);
    // A transient failure: attempt (from 2) of attempts starts after a pause.
    void reconnecting(int attempt, int attempts);

private:
    void sendRequest();
    // Why the file could not be written, for the customer; call it right after the write that failed.
    QString saveFailure() const;
    // The answer's status and headers: where its body starts in the file, and what validates it.
    void takeHeaders();
    // Tries again after a pause when attempts remain; false otherwise.
    bool retry();
    // Asks for the rest of what the file holds, or for everything when nothing validates it.
    void continueFromFile();
    void dropReply();
    void writeAvailable();
    // Fails the download when bytes more would pass its limit.
    bool withinLimit(qint64 bytes);
    void checkPace();
    void complete();
    // A failure that another attempt can continue keeps the partial; any other removes it.
    enum class Partial { drop, keep };
    void fail(const QString &error, Partial partial = Partial::drop);
    void dropUnlessKept(Partial partial);
    void finish();

    QNetworkAccessManager &m_network;
    const StoreClient &m_store;
    QUrl m_url;
    QFile m_file;
    QPointer<QNetworkReply> m_reply;
    Result m_result;
    DownloadLimits m_limits;
    qint64 m_byteLimit;
    QString m_limitReason;
    qint64 m_received = 0; // every byte of the body, an error page's too
    qint64 m_errorPageBytes = 0;
    // Less room than this left after a failed write: the disk is full.
    static constexpr qint64 fullDiskMargin = 1 << 20;
    qint64 m_receivedAtWindowStart = 0;
    std::shared_ptr<GrowingDownload> m_growing;
    QTimer m_paceCheck;
    bool m_done = false;
    bool m_resumable = false;
    bool m_paused = false;
    PartialDownload::Validators m_validators;
    // Where the body of the answer under way starts in the file.
    qint64 m_offset = 0;
    qint64 m_fullSize = -1;
    int m_attempt = 1;
    qint64 m_bytesAtAttemptStart = 0;
    // The reader was told of bytes: a download can no longer start over from nothing.
    bool m_readerFed = false;
};

} // namespace klv
