#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace klv {

class StoreClient;

// Streams one package to a file, so memory stays flat whatever its size. Only a complete 2xx answer
// counts: an error page is never kept as a package.
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

    void start();
    void cancel();
    const QUrl &url() const { return m_url; }

Q_SIGNALS:
    // bytesTotal is -1 while the size is unknown.
    void progressed(qint64 bytesReceived, qint64 bytesTotal);
    void finished(const klv::PackageDownload::Result &result);

private:
    void writeAvailable();
    void complete();
    void fail(const QString &error);

    QNetworkAccessManager &m_network;
    const StoreClient &m_store;
    QUrl m_url;
    QFile m_file;
    QPointer<QNetworkReply> m_reply;
    Result m_result;
    bool m_done = false;
};

} // namespace klv
