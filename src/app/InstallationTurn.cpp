#include "app/InstallationTurn.h"

#include "core/InstallationQueueLock.h"
#include "install/InstallationEngine.h"
#include "library/ProductActions.h"

namespace klv {

InstallationTurn::InstallationTurn(InstallationQueueLock &lock, InstallationEngine &engine, ProductActions &actions,
                                   QObject *parent)
    : QObject(parent)
    , m_lock(lock)
    , m_engine(engine)
    , m_actions(actions) {
    connect(&m_lock, &InstallationQueueLock::acquired, this, &InstallationTurn::runWaitingWork);
    connect(&m_lock, &InstallationQueueLock::failed, this, [this](const QString &error) {
        stopWaiting();
        Q_EMIT failed(error);
    });
    // Each is emitted once the work it tells of is over, so the check sees the state it left; and before the
    // front ends hear of it, so that what they do next (an alert, another program started) finds the queue free.
    connect(&m_engine, &InstallationEngine::queueFinished, this, &InstallationTurn::releaseWhenIdle);
    connect(&m_engine, &InstallationEngine::sideWorkFinished, this, &InstallationTurn::releaseWhenIdle);
    connect(&m_engine, &InstallationEngine::downloadInfoHandled, this, &InstallationTurn::releaseWhenIdle);
    connect(&m_actions, &ProductActions::uninstallFinished, this, &InstallationTurn::releaseWhenIdle);
}

void InstallationTurn::whenOurs(const QString &description, std::function<void()> work) {
    if (m_lock.isHeld()) {
        work();
        releaseWhenIdle();
        return;
    }
    const bool alreadyWaiting = isWaiting();
    m_waiting.append({description, std::move(work)});
    if (alreadyWaiting) {
        Q_EMIT waitingChanged();
        return;
    }
    switch (m_lock.acquireOrWait()) {
    case InstallationQueueLock::Attempt::acquired:
        runWaitingWork();
        break;
    case InstallationQueueLock::Attempt::held:
        Q_EMIT waitingChanged();
        break;
    case InstallationQueueLock::Attempt::failed: {
        const QString error = m_lock.errorString();
        stopWaiting();
        Q_EMIT failed(error);
        break;
    }
    }
}

void InstallationTurn::stopWaiting() {
    m_lock.stopWaiting();
    const bool waited = isWaiting();
    m_waiting.clear();
    m_engine.dropWaitingRequests();
    if (waited)
        Q_EMIT waitEnded();
}

bool InstallationTurn::takeNow() {
    return m_lock.isHeld() || m_lock.tryAcquire();
}

void InstallationTurn::hold() {
    ++m_holds;
}

void InstallationTurn::letGo() {
    m_holds = qMax(0, m_holds - 1);
    releaseWhenIdle();
}

QStringList InstallationTurn::waitingDescriptions() const {
    QStringList descriptions;
    for (const Waiting &waiting : m_waiting)
        descriptions.append(waiting.description);
    return descriptions;
}

bool InstallationTurn::isOurs() const {
    return m_lock.isHeld();
}

std::optional<QString> InstallationTurn::holder() const {
    return m_lock.holder();
}

std::optional<QString> InstallationTurn::holderName() const {
    return m_lock.holderName();
}

bool InstallationTurn::isIdle() const {
    return !isWaiting() && m_holds == 0 && !m_engine.isBusy() && !m_engine.hasSideWork() &&
           !m_engine.hasRequestsInFlight() && !m_actions.isUninstalling();
}

void InstallationTurn::runWaitingWork() {
    const QList<Waiting> waiting = std::exchange(m_waiting, {});
    Q_EMIT waitEnded();
    for (const Waiting &step : waiting)
        step.work();
    releaseWhenIdle();
}

void InstallationTurn::releaseWhenIdle() {
    if (m_lock.isHeld() && isIdle())
        m_lock.release();
}

} // namespace klv
