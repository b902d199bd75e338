#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

namespace klv::storeservice {

// A klv-store child process on a free loopback port, answering from a catalog folder, with its request log in a
// temporary folder: how the tests and the benchmarks run the store. The process is killed when the object goes away,
// so a request a fault holds up does not hold up the caller's end.
class StoreProcess final {
public:
    explicit StoreProcess(QString catalogDirectory, QStringList extraArguments = {});
    ~StoreProcess();
    Q_DISABLE_COPY_MOVE(StoreProcess)

    // Starts the store and waits for it to report its address (a large catalog takes a while to read);
    // errorString() says why when it fails.
    bool start(int timeoutMs = 10'000);
    // Sends SIGTERM and waits; true when the store then exited normally with status 0.
    bool stop();

    // Scheme, host and port, for example "http://127.0.0.1:40123".
    QString url() const { return m_url; }
    QString errorString() const { return m_error; }
    // Every request the store could open so far, in arrival order.
    QList<QJsonObject> requestLog() const;

private:
    QString m_catalogDirectory;
    QStringList m_extraArguments;
    QTemporaryDir m_logDirectory;
    QProcess m_process;
    QString m_url;
    QString m_error;
};

} // namespace klv::storeservice
