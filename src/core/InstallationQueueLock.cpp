#include "core/InstallationQueueLock.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

constexpr std::chrono::milliseconds retryInterval{250};

} // namespace

InstallationQueueLock::InstallationQueueLock(const QString &lockFilePath, QObject *parent)
    : QObject(parent)
    , m_lock(lockFilePath) {
    // A lock is stale only when its process is gone: an installation may rightly take hours.
    m_lock.setStaleLockTime(0);
    m_retry.setInterval(retryInterval);
    connect(&m_retry, &QTimer::timeout, this, &InstallationQueueLock::tryAgain);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &InstallationQueueLock::lockFolderChanged);
}

void InstallationQueueLock::watchForOtherProcesses() {
    const QString folder = QFileInfo(m_lock.fileName()).path();
    if (m_watcher.directories().isEmpty() && QFileInfo::exists(folder))
        m_watcher.addPath(folder);
    m_heldElsewhere = !m_held && QFileInfo::exists(m_lock.fileName());
}

void InstallationQueueLock::lockFolderChanged() {
    const bool wasHeldElsewhere = m_heldElsewhere;
    m_heldElsewhere = !m_held && QFileInfo::exists(m_lock.fileName());
    if (wasHeldElsewhere && !m_heldElsewhere)
        Q_EMIT releasedElsewhere();
}

InstallationQueueLock::Attempt InstallationQueueLock::acquireOrWait() {
    if (m_held)
        return Attempt::acquired;
    QDir().mkpath(QFileInfo(m_lock.fileName()).path());
    watchForOtherProcesses();
    if (tryAcquire())
        return Attempt::acquired;
    if (m_lock.error() != QLockFile::LockFailedError)
        return Attempt::failed;
    m_retry.start();
    return Attempt::held;
}

bool InstallationQueueLock::tryAcquire() {
    if (m_held)
        return true;
    if (!m_lock.tryLock(0))
        return false;
    m_held = true;
    Q_EMIT taken();
    return true;
}

void InstallationQueueLock::tryAgain() {
    if (tryAcquire()) {
        m_retry.stop();
        Q_EMIT acquired();
    } else if (m_lock.error() != QLockFile::LockFailedError) {
        m_retry.stop();
        Q_EMIT failed(errorString());
    }
}

void InstallationQueueLock::stopWaiting() {
    m_retry.stop();
}

void InstallationQueueLock::release() {
    m_retry.stop();
    if (m_held)
        m_lock.unlock();
    m_held = false;
}

std::optional<QString> InstallationQueueLock::holder() const {
    qint64 pid = 0;
    QString hostName;
    QString application;
    if (!m_lock.getLockInfo(&pid, &hostName, &application))
        return std::nullopt;
    return (application.isEmpty() ? u"a process"_s : application) + u" (process %1)"_s.arg(pid);
}

std::optional<QString> InstallationQueueLock::holderName() const {
    qint64 pid = 0;
    QString hostName;
    QString application;
    if (!m_lock.getLockInfo(&pid, &hostName, &application) || application.isEmpty())
        return std::nullopt;
    return application;
}

QString InstallationQueueLock::errorString() const {
    return m_lock.error() == QLockFile::PermissionError ? u"no permission to create "_s + m_lock.fileName()
                                                        : u"cannot create "_s + m_lock.fileName();
}

} // namespace klv
