#pragma once

#include "install/DownloadLimits.h"
#include "install/GrowingDownload.h"

#include <QFile>
#include <QObject>
#include <QPointer>
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

        bool succeeded() const { return error.isEmpty() && !cancelled; }
    };

    PackageDownload(QNetworkAccessManager &network, const StoreClient &store, QUrl url, QString targetPath,
                    QObject *parent = nullptr);
    ~PackageDownload() override;

    // The size the store gave for the package; zero or less when it gave none. Call before start().
    void setAnnouncedSize(qint64 bytes);
    // Tells growth, then the ending, of the file to a reader. Call before start().
    void setGrowingDownload(std::shared_ptr<GrowingDownload> growing);
    void start();
    void cancel();
    const QUrl &url() const { return m_url; }

Q_SIGNALS:
    // bytesTotal is -1 while the size is unknown.
    void progressed(qint64 bytesReceived, qint64 bytesTotal);
    void finished(const klv::PackageDownload::Result &result);

private:
    void writeAvailable();
    // Fails the download when bytes more would pass its limit.
    bool withinLimit(qint64 bytes);
    void checkPace();
    void complete();
    void fail(const QString &error);
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
    qint64 m_receivedAtWindowStart = 0;
    std::shared_ptr<GrowingDownload> m_growing;
    QTimer m_paceCheck;
    bool m_done = false;
};

} // namespace klv
