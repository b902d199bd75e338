#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>

namespace klv::ui {

// One window per user: the first launch listens in the runtime folder; a later launch hands its arguments to it
// (which raises its window) and ends.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the instance; false when another one took the arguments.
    bool claim(const QStringList &arguments);
    // Stops listening, so that a program started next becomes the instance.
    void release();

Q_SIGNALS:
    void activationRequested(const QStringList &arguments);

private:
    bool handOver(const QStringList &arguments) const;
    void readActivation();

    QString m_socketPath;
    QLocalServer m_server;
};

} // namespace klv::ui
