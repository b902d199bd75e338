#pragma once

#include <QFileSystemWatcher>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace klv {

// One installation queue per home: the process that installs, updates or uninstalls holds this lock file, and
// another one waits until it is free. The lock of a process that ended without releasing it is taken over.
class InstallationQueueLock final : public QObject {
    Q_OBJECT
public:
    explicit InstallationQueueLock(const QString &lockFilePath, QObject *parent = nullptr);

    enum class Attempt { acquired, held, failed };
    // Takes the lock when it is free. When another process holds it, tries again until it gets it (acquired)
    // or stopWaiting(); holder() says who holds it. failed: the lock file cannot be made (errorString()).
    Attempt acquireOrWait();
    // Takes the lock only when it is free at once; true when it is this process's now.
    bool tryAcquire();
    void stopWaiting();
    void release();
    // From now on releasedElsewhere() tells when another process lets go of the lock (the folder must exist).
    void watchForOtherProcesses();
    bool isHeld() const { return m_held; }
    // The holding process as "klv (process 1234)"; nothing when unknown.
    std::optional<QString> holder() const;
    // The holding program's name alone ("klv"), for a line with no room for its process number.
    std::optional<QString> holderName() const;
    QString errorString() const;

Q_SIGNALS:
    // This process holds the lock from now on, however it came to (at once, after waiting, or taken over from a
    // process that ended): what a stopped process left half done can be seen to before anything else.
    void taken();
    // Taken after waiting for another process.
    void acquired();
    void failed(const QString &error);
    // Another process that held the lock released it: what it installed or removed is on disk now.
    void releasedElsewhere();

private:
    void tryAgain();
    void lockFolderChanged();

    QLockFile m_lock;
    QTimer m_retry;
    QFileSystemWatcher m_watcher;
    bool m_held = false;
    bool m_heldElsewhere = false;
};

} // namespace klv
