#include "cli/QueueWait.h"

#include "cli/ExitCode.h"
#include "cli/InterruptWatcher.h"
#include "cli/Terminal.h"

#include "app/InstallationTurn.h"

namespace klv::cli {

using namespace Qt::StringLiterals;

QueueWait::QueueWait(InstallationTurn &turn, const Terminal &terminal, QObject *parent)
    : QObject(parent)
    , m_turn(turn)
    , m_terminal(terminal) {}

QueueWait::~QueueWait() {
    stopWatching();
    if (m_turn.isWaiting())
        m_turn.stopWaiting();
    if (m_holding)
        m_turn.letGo();
}

void QueueWait::take(std::function<void()> proceed, std::function<void(int exitCode)> gaveUp) {
    connect(&m_turn, &InstallationTurn::failed, this, [this, gaveUp](const QString &error) {
        stopWatching();
        m_terminal.printMessage(u"Cannot install or remove anything: "_s + error);
        gaveUp(ExitCode::usageError);
    });
    connect(&m_turn, &InstallationTurn::waitingChanged, this, [this, gaveUp] {
        if (m_interrupts)
            return;
        watchInterrupts(gaveUp);
        // Said once Ctrl-C is watched, so that it works as soon as it is offered.
        m_terminal.printMessage(u"Waiting for "_s + m_turn.holder().value_or(u"another process"_s) +
                                u" to finish installing or removing products in this home… (Ctrl-C gives up)"_s);
    });
    m_turn.whenOurs(u"a klv command"_s, [this, proceed] {
        stopWatching();
        m_turn.hold();
        m_holding = true;
        proceed();
    });
}

void QueueWait::watchInterrupts(const std::function<void(int exitCode)> &gaveUp) {
    m_interrupts = new InterruptWatcher(this);
    connect(m_interrupts, &InterruptWatcher::interrupted, this, [this, gaveUp] {
        // Not deleted while it is still telling.
        m_interrupts->deleteLater();
        m_interrupts = nullptr;
        stopWatching();
        m_turn.stopWaiting();
        m_terminal.printMessage(u"Gave up waiting; nothing was changed."_s);
        gaveUp(ExitCode::cancelled);
    });
}

void QueueWait::stopWatching() {
    disconnect(&m_turn, nullptr, this, nullptr);
    // The command may watch Ctrl-C itself from here on; only one watcher may exist at a time.
    delete m_interrupts;
    m_interrupts = nullptr;
}

} // namespace klv::cli
