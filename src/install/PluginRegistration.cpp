#include "install/PluginRegistration.h"

#include "install/FirstLaunch.h"
#include "install/PackageJunk.h"
#include "store/HostAppCheck.h"
#include "store/Services.h"

#include <QProcess>

#include <algorithm>
#include <filesystem>
#include <variant>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// macOS registers a plug-in when LaunchServices opens its host application; elsewhere the application folder
// follows the AppDir convention and its AppRun is started.
#ifdef Q_OS_MACOS
constexpr bool opensWithLaunchServices = true;
#else
constexpr bool opensWithLaunchServices = false;
#endif

const QString keptRunning = u"KLVMaps.app"_s;

// The folder's entry names in name order, or why it could not be listed.
std::variant<QStringList, QString> listFolder(const QString &folder) {
    std::error_code error;
    std::filesystem::directory_iterator entries(std::filesystem::path(folder.toStdString()), error);
    QStringList names;
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error))
        names.append(QString::fromStdString(entries->path().filename().string()));
    if (error)
        return QString::fromStdString(error.message());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

PluginRegistration::PluginRegistration(Services &services, QObject *parent)
    : QObject(parent)
    , m_services(services) {}

bool PluginRegistration::runFxRun() {
    if (isRunning() || !checkHostAppsClosed(m_services.reporter()))
        return false;
    const auto listing = listFolder(m_services.locations().pluginsFolderURL);
    if (const QString *error = std::get_if<QString>(&listing)) {
        m_services.reporter().appendLog(u"Get list of KLV App Plugin:"_s + *error);
        return false;
    }
    QStringList names = std::get<QStringList>(listing);
    names.removeIf([](const QString &name) { return isPackageJunk({name}); });
    m_toEnd.clear();
    for (const QString &name : std::as_const(names)) {
        if (name != keptRunning)
            m_toEnd.append(QString(name).remove(u".app"_s));
    }
    // Counted before the first start: an application that cannot start reports back at once.
    m_pending = int(names.size()) + 1;
    for (const QString &name : std::as_const(names))
        launch(name);
    launchEnded();
    return true;
}

void PluginRegistration::launch(const QString &name) {
    const QString application = m_services.locations().pluginsFolderURL + name;
    if constexpr (opensWithLaunchServices) {
        // "open" returns once the application runs; every one is ended by name when all have been opened.
        auto *open = new QProcess(this);
        connect(open, &QProcess::finished, this, [this, open] {
            open->deleteLater();
            launchEnded();
        });
        connect(open, &QProcess::errorOccurred, this, [this, open](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            open->deleteLater();
            launchEnded();
        });
        open->start(u"/usr/bin/open"_s, {application});
        return;
    }
    auto *launch = new FirstLaunch(application + u"/AppRun"_s, application, name != keptRunning, this);
    connect(launch, &FirstLaunch::finished, this, [this, launch, name](const std::optional<QString> &error) {
        launch->deleteLater();
        // A plug-in that does not start is no reason to stop the others.
        if (error)
            m_services.reporter().appendLog(u"FxRun could not start "_s + name + u": "_s + *error);
        launchEnded();
    });
    launch->start();
}

void PluginRegistration::launchEnded() {
    if (--m_pending > 0)
        return;
    if constexpr (opensWithLaunchServices) {
        // Each name reaches killall as one argument, whatever blanks or shell characters it holds.
        for (const QString &name : std::as_const(m_toEnd))
            QProcess::startDetached(u"/usr/bin/killall"_s, {name});
    }
    m_services.reporter().showAlert(u"Alert"_s, u"Finished - FxRun has Completed"_s, u"OK"_s);
    Q_EMIT finished();
}

} // namespace klv
