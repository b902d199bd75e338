#pragma once

#include <QObject>

#include <functional>

namespace klv {
class InstallationTurn;
}

namespace klv::cli {

class InterruptWatcher;
class Terminal;

// How a command waits for this home's installation queue before it changes what is installed: while another
// process holds it, says so and waits; Ctrl-C while waiting gives up without changing anything. Once the turn is
// the command's, the queue stays this process's for as long as the command lives.
class QueueWait final : public QObject {
    Q_OBJECT
public:
    QueueWait(InstallationTurn &turn, const Terminal &terminal, QObject *parent = nullptr);
    ~QueueWait() override;

    // Calls proceed once the queue is this process's (at once when it is free), or gaveUp with the exit code.
    void take(std::function<void()> proceed, std::function<void(int exitCode)> gaveUp);

private:
    void watchInterrupts(const std::function<void(int exitCode)> &gaveUp);
    void stopWatching();

    InstallationTurn &m_turn;
    const Terminal &m_terminal;
    InterruptWatcher *m_interrupts = nullptr;
    bool m_holding = false;
};

} // namespace klv::cli
