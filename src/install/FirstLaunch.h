#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace klv {

// Starts an application once so that the system takes note of what it holds (a plug-in host registers its
// plug-ins while it starts), and, unless it is to keep running, ends it again once it has come up: when every
// process it started sleeps and uses no more processor time, after a least time and at most after a longest one.
// Ending it right after the start request would stop it before it ran at all.
class FirstLaunch final : public QObject {
    Q_OBJECT
public:
    FirstLaunch(QString program, QString workingDirectory, bool endWhenUp, QObject *parent = nullptr);
    // An application still being watched is ended.
    ~FirstLaunch() override;

    void start();

Q_SIGNALS:
    // The application was started (and ended, when asked), or could not be started: error says why.
    void finished(const std::optional<QString> &error);

private:
    void watch();
    void end();

    QString m_program;
    QString m_workingDirectory;
    bool m_endWhenUp;
    QTimer m_poll;
    QElapsedTimer m_running;
    // The process group the application and its children run in.
    qint64 m_group = 0;
    std::optional<qint64> m_lastCpuTicks;
};

} // namespace klv
