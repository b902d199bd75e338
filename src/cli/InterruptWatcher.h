#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace klv::cli {

// Turns Ctrl-C (SIGINT), SIGTERM and SIGHUP into a signal on the event loop, so long work can be cancelled cleanly.
class InterruptWatcher final : public QObject {
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

Q_SIGNALS:
    void interrupted();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace klv::cli
