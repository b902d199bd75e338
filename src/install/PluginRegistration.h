#pragma once

#include <QObject>
#include <QStringList>

namespace klv {

class Services;

// "FxRun": starts every application in the plug-ins folder once, so that the system registers the plug-ins they
// hold again, and ends each of them once it is up, except the maps application, which keeps running. Nothing
// blocks: the applications start and end while the caller's event loop goes on, and an alert says when all are
// done.
class PluginRegistration final : public QObject {
    Q_OBJECT
public:
    explicit PluginRegistration(Services &services, QObject *parent = nullptr);

    // False, and nothing is started, while Final Cut Pro or Motion is open (the customer is asked to close them),
    // when the plug-ins folder cannot be listed (logged), or while a run is still going.
    bool runFxRun();
    bool isRunning() const { return m_pending > 0; }

Q_SIGNALS:
    // Every application was started and ended; the closing alert has been answered.
    void finished();

private:
    void launch(const QString &name);
    void launchEnded();

    Services &m_services;
    // The applications that are ended again once they have come up, by name without ".app".
    QStringList m_toEnd;
    int m_pending = 0;
};

} // namespace klv
