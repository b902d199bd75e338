#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace klv {

class Services;
struct InstallationItem;

// The components a job's progress is made of.
inline const QString templateProgress = QStringLiteral("Template Progress");
inline const QString fontsProgress = QStringLiteral("Fonts Progress");
inline const QString pluginsProgress = QStringLiteral("FxPlugs Progress");

// What every installer of a job may use: the shared services and the plug-ins that stay running.
struct InstallEnvironment {
    Services &services;
    const QStringList &notAutoKillList;
};

// One component of an installation job (the templates, the fonts, the plug-ins, a composite, …). It lives on
// the main thread and does its blocking work on worker threads; everything it reports arrives on the main
// thread, in order. A job ends when each of its components has reported 1.0, or when one of them fails.
class JobInstaller : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void start() = 0;
    // Stops downloads and worker steps; nothing is reported afterwards.
    virtual void cancel() = 0;
    // True for an installer whose work is not part of the job's progress: it may go on after the job has
    // ended, and says so with sideWorkFinished().
    virtual bool isSideWork() const { return false; }
    bool isSideWorkDone() const { return m_sideWorkDone; }

Q_SIGNALS:
    // component is "Template Progress", "Fonts Progress" or "FxPlugs Progress"; value from 0.0 to 1.0.
    void progressed(const QString &component, double value);
    // The current step for the strip's title, e.g. " - 1.20 MB / 3.40 MB".
    void stepChanged(const QString &suffix);
    // The job cannot complete; the message is for the customer.
    void failed(const QString &message);
    // Side work only: everything it had to do is done (or logged).
    void sideWorkFinished();

protected:
    void finishSideWork() {
        m_sideWorkDone = true;
        Q_EMIT sideWorkFinished();
    }

private:
    bool m_sideWorkDone = false;
};

} // namespace klv
