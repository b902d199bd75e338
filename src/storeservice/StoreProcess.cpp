#include "storeservice/StoreProcess.h"

#include <utility>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

constexpr int stopTimeoutMs = 5'000;

} // namespace

StoreProcess::StoreProcess(QString catalogDirectory, QStringList extraArguments)
    : m_catalogDirectory(std::move(catalogDirectory))
    , m_extraArguments(std::move(extraArguments)) {
    // The store's complaints belong in the test output.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

StoreProcess::~StoreProcess() {
    m_process.kill();
    m_process.waitForFinished();
}

bool StoreProcess::start(int timeoutMs) {
    if (!m_logDirectory.isValid()) {
        m_error = u"cannot create a folder for the request log: %1"_s.arg(m_logDirectory.errorString());
        return false;
    }
    m_process.start(QString::fromUtf8(KLV_STORE_BINARY),
                    QStringList{u"--catalog"_s, m_catalogDirectory, u"--port"_s, u"0"_s, u"--request-log"_s,
                                m_logDirectory.filePath(u"requests.jsonl"_s)} +
                        m_extraArguments);
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            if (m_process.state() != QProcess::NotRunning) {
                m_error = u"klv-store did not report its address within %1 ms"_s.arg(timeoutMs);
            } else if (m_process.error() == QProcess::FailedToStart) {
                m_error = u"cannot start klv-store: %1"_s.arg(m_process.errorString());
            } else {
                m_error = u"klv-store exited with status %1 before listening"_s.arg(m_process.exitCode());
            }
            return false;
        }
    }
    const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
    const QString prefix = u"klv-store listening on "_s;
    if (!line.startsWith(prefix)) {
        m_error = u"unexpected first line from klv-store: %1"_s.arg(line);
        return false;
    }
    m_url = line.sliced(prefix.size());
    return true;
}

bool StoreProcess::stop() {
    if (m_process.state() == QProcess::NotRunning) {
        return false;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(stopTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(stopTimeoutMs);
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QList<QJsonObject> StoreProcess::requestLog() const {
    QFile file(m_logDirectory.filePath(u"requests.jsonl"_s));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QList<QJsonObject> entries;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty()) {
            entries.append(QJsonDocument::fromJson(line).object());
        }
    }
    return entries;
}

} // namespace klv::storeservice
