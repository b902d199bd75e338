#include "QueueTurn.h"

#include "ExitCode.h"
#include "InterruptWatcher.h"
#include "Terminal.h"

#include "core/InstallationQueueLock.h"

namespace klv::cli {

using namespace Qt::StringLiterals;

QueueTurn::QueueTurn(InstallationQueueLock &lock, const Terminal &terminal, QObject *parent)
    : QObject(parent)
    , m_lock(lock)
    , m_terminal(terminal) {}

QueueTurn::~QueueTurn() {
    stopWaiting();
}

void QueueTurn::take(std::function<void()> proceed, std::function<void(int exitCode)> gaveUp) {
    switch (m_lock.acquireOrWait()) {
    case InstallationQueueLock::Attempt::acquired:
        proceed();
        return;
    case InstallationQueueLock::Attempt::failed:
        m_terminal.printMessage(u"Cannot install or remove anything: "_s + m_lock.errorString());
        gaveUp(ExitCode::usageError);
        return;
    case InstallationQueueLock::Attempt::held:
        break;
    }
    m_interrupts = new InterruptWatcher(this);
    connect(m_interrupts, &InterruptWatcher::interrupted, this, [this, gaveUp] {
        // Not deleted while it is still telling.
        m_interrupts->deleteLater();
        m_interrupts = nullptr;
        stopWaiting();
        m_terminal.printMessage(u"Gave up waiting; nothing was changed."_s);
        gaveUp(ExitCode::cancelled);
    });
    connect(&m_lock, &InstallationQueueLock::acquired, this, [this, proceed] {
        stopWaiting();
        proceed();
    });
    connect(&m_lock, &InstallationQueueLock::failed, this, [this, gaveUp](const QString &error) {
        stopWaiting();
        m_terminal.printMessage(u"Cannot install or remove anything: "_s + error);
        gaveUp(ExitCode::usageError);
    });
    // Said once Ctrl-C is watched, so that it works as soon as it is offered.
    m_terminal.printMessage(u"Waiting for "_s + m_lock.holder().value_or(u"another process"_s) +
                            u" to finish installing or removing products in this home… (Ctrl-C gives up)"_s);
}

void QueueTurn::stopWaiting() {
    m_lock.stopWaiting();
    disconnect(&m_lock, nullptr, this, nullptr);
    // The command may watch Ctrl-C itself from here on; only one watcher may exist at a time.
    delete m_interrupts;
    m_interrupts = nullptr;
}

} // namespace klv::cli
