#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

namespace klv {

class InstallationEngine;
class InstallationQueueLock;
class ProductActions;

// This process's turn at the home's installation queue, for both front ends: it takes the lock when work that
// changes what is installed is asked for (waiting while another process holds it), and gives it back once all of it
// has ended: the store requests in flight, the jobs and their side work, the uninstalls, and a stretch a front end
// holds. The front ends only show the wait.
class InstallationTurn final : public QObject {
    Q_OBJECT
public:
    InstallationTurn(InstallationQueueLock &lock, InstallationEngine &engine, ProductActions &actions,
                     QObject *parent = nullptr);

    // Runs work once the queue is this process's: at once when it is or is free, else when the process holding it
    // lets go. description names the work while it waits ("installing Neon Signs").
    void whenOurs(const QString &description, std::function<void()> work);
    // Gives up waiting: what was asked for meanwhile is not done, and the rows it held turn back.
    void stopWaiting();
    // Takes the queue only if no other process holds it; true when it is this process's now.
    bool takeNow();
    // A front end's stretch of work that sends its requests later (a command that reads the library first): the
    // queue stays this process's until it is let go.
    void hold();
    void letGo();

    bool isOurs() const;
    bool isWaiting() const { return !m_waiting.isEmpty(); }
    // What waits, in the order it was asked for.
    QStringList waitingDescriptions() const;
    // The program holding the queue ("klv"); nothing when unknown.
    std::optional<QString> holderName() const;
    // The same with its process number, "klv (process 1234)".
    std::optional<QString> holder() const;
    bool isIdle() const;

Q_SIGNALS:
    // Another process holds the queue, and the work waiting for it changed.
    void waitingChanged();
    // Nothing waits any more: the queue became this process's, or the wait was given up.
    void waitEnded();
    // The lock could not be taken at all; nothing waits.
    void failed(const QString &error);

private:
    struct Waiting {
        QString description;
        std::function<void()> work;
    };

    void runWaitingWork();
    void releaseWhenIdle();

    InstallationQueueLock &m_lock;
    InstallationEngine &m_engine;
    ProductActions &m_actions;
    QList<Waiting> m_waiting;
    int m_holds = 0;
};

} // namespace klv
