#pragma once

#include <QObject>

#include <functional>

namespace klv {
class InstallationQueueLock;
}

namespace klv::cli {

class InterruptWatcher;
class Terminal;

// Waits for this home's installation queue before a command changes what is installed: while another process
// holds it, says so and waits; Ctrl-C while waiting gives up without changing anything.
class QueueTurn final : public QObject {
    Q_OBJECT
public:
    QueueTurn(InstallationQueueLock &lock, const Terminal &terminal, QObject *parent = nullptr);
    ~QueueTurn() override;

    // Calls proceed once the queue is this process's (at once when it is free), or gaveUp with the exit code.
    void take(std::function<void()> proceed, std::function<void(int exitCode)> gaveUp);

private:
    void stopWaiting();

    InstallationQueueLock &m_lock;
    const Terminal &m_terminal;
    InterruptWatcher *m_interrupts = nullptr;
};

} // namespace klv::cli
