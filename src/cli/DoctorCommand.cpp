#include "cli/DoctorCommand.h"

#include "cli/ExitCode.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "core/ByteCountFormat.h"
#include "store/Services.h"

#include "cli/CommandArguments.h"
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QNetworkReply>
#include <QStorageInfo>

#include <map>

namespace klv::cli {

namespace {

const QString jsonOption = QStringLiteral("json");
constexpr int storeTimeoutMs = 5000;
// Products run to a few gigabytes once unpacked; less than this makes an installation likely to fail.
constexpr qint64 lowSpaceBytes = 2LL * 1024 * 1024 * 1024;

struct NamedLocation {
    QString name;
    QString path;
};

// The folders products are installed into, and the downloads they pass through.
QList<NamedLocation> destinations(const Locations &l) {
    return {
        {QStringLiteral("Motion templates (Movies folder)"), l.moviesFolderURL},
        {QStringLiteral("Composites"), l.compositeFolderURL},
        {QStringLiteral("DaVinci Resolve templates"), l.resolveTemplatesFolderURL},
        {QStringLiteral("Custom LUTs"), l.customLUTsFolderURL},
        {QStringLiteral("Fonts"), l.fontsFolderURL},
        {QStringLiteral("Plug-ins"), l.pluginsFolderURL},
        {QStringLiteral("Downloads"), l.downloadFolderURL},
    };
}

// What this build has: one a package manager updates has the programs of its package and no updater of its own.
QList<NamedLocation> everyLocation(const Locations &l, bool selfUpdate) {
    QList<NamedLocation> locations{
        {QStringLiteral("Movies folder"), l.moviesFolderURL},
        {QStringLiteral("Library folder"), l.libraryFolderURL},
        {QStringLiteral("Applications folder"), l.applicationsFolderURL},
        {QStringLiteral("Shared app data"), l.sharedContainerURL},
        {QStringLiteral("Maker's folder"), l.vantoryFolderURL},
        {QStringLiteral("Plug-ins"), l.pluginsFolderURL},
        {QStringLiteral("Log folder"), l.logFolderURL},
        {QStringLiteral("Downloads"), l.downloadFolderURL},
        {QStringLiteral("DaVinci Resolve templates"), l.resolveTemplatesFolderURL},
        {QStringLiteral("Custom LUTs"), l.customLUTsFolderURL},
        {QStringLiteral("Fonts"), l.fontsFolderURL},
        {QStringLiteral("Cache"), l.appCacheFolderURL},
        {QStringLiteral("Composites"), l.compositeFolderURL},
        {QStringLiteral("Motion effects"), l.motionEffectsFolderURL},
        {QStringLiteral("Motion titles"), l.motionTitlesFolderURL},
        {QStringLiteral("Motion transitions"), l.motionTransitionsFolderURL},
        {QStringLiteral("Motion generators"), l.motionGeneratorsFolderURL},
        {QStringLiteral("Picture map"), l.userDataFileURL},
        {QStringLiteral("Library cache"), l.productCacheFileURL},
        {QStringLiteral("Product pictures"), l.productImageFolderURL},
        {QStringLiteral("Log file"), l.logFileURL},
        {QStringLiteral("Settings file"), l.settingsFileURL},
    };
    if (selfUpdate) {
        locations.append({{QStringLiteral("KLV App"), l.appBundleURL},
                          {QStringLiteral("Updater"), l.updaterAppURL},
                          {QStringLiteral("Downloaded app update"), l.appUpdateArchiveURL}});
    } else {
        locations.append({QStringLiteral("KLV App window"), QCoreApplication::applicationDirPath() + u"/klv-app"});
    }
    return locations;
}

// A key is a shared secret: enough of it to tell which one is set, never all of it.
QString shown(const Configuration::Source &source) {
    if (!source.secret || source.value.size() < 12)
        return source.value;
    return source.value.left(4) + u"\u2026" + source.value.right(4);
}

// The nearest folder that exists: a destination not made yet will be made on that volume.
QString existingAncestor(QString path) {
    while (!path.isEmpty() && !QFileInfo::exists(path)) {
        const QString parent = QFileInfo(QDir::cleanPath(path)).path();
        if (parent == path)
            break;
        path = parent;
    }
    return path;
}

QString stateOf(const QString &path) {
    const QFileInfo info(path);
    return !info.exists() ? QStringLiteral("missing")
           : info.isDir() ? QStringLiteral("folder")
                          : QStringLiteral("file");
}

} // namespace

void DoctorCommand::describe(CommandArguments &arguments) const {
    arguments.addFlag(jsonOption, QStringLiteral("Print the checks and the folders as one JSON object."));
}

void DoctorCommand::run(const CommandArguments &arguments) {
    m_asJson = arguments.isSet(jsonOption);
    const Services &services = m_context.services();
    if (!m_asJson) {
        m_terminal.printResult(u"Store:       " + services.configuration().storeUrl + u" (" +
                               services.configuration().originOf(QStringLiteral("KLV_STORE_URL")) + u')');
        m_terminal.printResult(u"OS version:  " + services.macOSVersion.trimmed());
        m_terminal.printResult(u"App version: " + services.appVersion);
        m_terminal.printResult(QStringLiteral("Signed in:   ") + (m_context.services().settings().sessionActive
                                                                      ? QStringLiteral("yes")
                                                                      : QStringLiteral("no")));
        printConfiguration();
        m_terminal.printResult(QStringLiteral("Checks:"));
    }
    checkFreeSpace();
    checkNotifications();
    checkStore();
}

void DoctorCommand::printConfiguration() {
    m_terminal.printResult(u"Configuration (environment, then " + Configuration::userFilePath() + u", then " +
                           Configuration::systemFilePath() + u", then built in):");
    for (const Configuration::Source &source : m_context.services().configuration().sources) {
        if (!source.value.isEmpty())
            m_terminal.printResult(
                QStringLiteral("  %1 %2  (%3)").arg(source.variable, -24).arg(shown(source), source.origin));
    }
    for (const QString &problem : m_context.services().configuration().fileProblems)
        m_terminal.printResult(u"  " + problem, Terminal::Tone::failure);
}

QJsonArray DoctorCommand::configurationJson() const {
    QJsonArray values;
    for (const Configuration::Source &source : m_context.services().configuration().sources)
        values.append(QJsonObject{{QStringLiteral("name"), source.variable},
                                  {QStringLiteral("value"), shown(source)},
                                  {QStringLiteral("source"), source.origin}});
    return values;
}

void DoctorCommand::addCheck(const QString &name, bool passed, const QString &detail, const QString &fix) {
    m_allPassed = m_allPassed && passed;
    QJsonObject check{
        {QStringLiteral("name"), name}, {QStringLiteral("passed"), passed}, {QStringLiteral("detail"), detail}};
    if (!passed)
        check.insert(QStringLiteral("fix"), fix);
    m_checks.append(check);
    if (m_asJson)
        return;
    m_terminal.printResult(
        QStringLiteral("  %1 %2: %3").arg(passed ? QStringLiteral("ok  ") : QStringLiteral("FAIL"), name, detail),
        passed ? Terminal::Tone::good : Terminal::Tone::failure);
    if (!passed)
        m_terminal.printResult(u"       To fix: " + fix);
}

void DoctorCommand::checkFreeSpace() {
    // One check per volume, naming the destinations on it.
    std::map<QString, std::pair<QStorageInfo, QStringList>> volumes;
    for (const NamedLocation &destination : destinations(m_context.services().locations())) {
        const QStorageInfo volume(existingAncestor(destination.path));
        auto &entry = volumes[volume.rootPath()];
        entry.first = volume;
        entry.second.append(destination.name);
    }
    for (const auto &[root, entry] : volumes) {
        const auto &[volume, names] = entry;
        const qint64 free = volume.bytesAvailable();
        const bool enough = volume.isValid() && free >= lowSpaceBytes;
        addCheck(u"Free space for " + names.join(u", "), enough,
                 volume.isValid() ? QString(formatByteCount(free) + u" free on " + root)
                                  : QStringLiteral("the disk could not be examined"),
                 u"make room on " + root + u" (at least " + formatByteCount(lowSpaceBytes) +
                     u" is wise before an installation).");
    }
}

void DoctorCommand::checkNotifications() {
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool connected = bus.isConnected();
    const bool registered = connected && bus.interface() && bus.interface()->isServiceRegistered(service).value();
    // Without a desktop session (a server, ssh, CI) nobody would see a notification: nothing is missing there.
    const bool desktopSession =
        connected && (qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"));
    addCheck(QStringLiteral("Notifications"), registered || !desktopSession,
             registered       ? QStringLiteral("the desktop's notification service answers")
             : desktopSession ? QStringLiteral("no notification service on the session bus")
                              : QStringLiteral("not available here (no desktop session); notifications go to the log"),
             QStringLiteral("sign in to a desktop session (or start a notification daemon such as dunst); "
                            "without one, notifications are only written to the log."));
}

void DoctorCommand::checkStore() {
    const QString address = m_context.services().configuration().storeUrl;
    const QString fix = u"start the store or check the network; the store address is set in " +
                        Configuration::userFilePath() + u" or " + Configuration::systemFilePath() +
                        u" (store_url), or by KLV_STORE_URL.";
    if (const QString problem = m_context.services().configuration().storeProblem(); !problem.isEmpty()) {
        addCheck(QStringLiteral("Store"), false, problem, fix);
        report();
        return;
    }
    QNetworkRequest request{QUrl(address)};
    request.setTransferTimeout(storeTimeoutMs);
    QNetworkReply *reply = m_context.services().network().get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, address, fix] {
        reply->deleteLater();
        // Any answer, even a refusal, shows the store is there.
        const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        const QString detail = answered ? QString(u"answers at " + address)
                                        : QString(u"no answer from " + address + u" (" + reply->errorString() + u')');
        addCheck(QStringLiteral("Store"), answered, detail, fix);
        report();
    });
}

void DoctorCommand::report() {
    const QList<NamedLocation> locations =
        everyLocation(m_context.services().locations(), m_context.services().configuration().selfUpdate);
    if (m_asJson) {
        const Services &services = m_context.services();
        QJsonArray rows;
        for (const NamedLocation &location : locations)
            rows.append(QJsonObject{{QStringLiteral("name"), location.name},
                                    {QStringLiteral("path"), location.path},
                                    {QStringLiteral("state"), stateOf(location.path)}});
        m_terminal.printJson({{QStringLiteral("storeAddress"), services.configuration().storeUrl},
                              {QStringLiteral("osVersion"), services.macOSVersion.trimmed()},
                              {QStringLiteral("appVersion"), services.appVersion},
                              {QStringLiteral("signedIn"), m_context.services().settings().sessionActive},
                              {QStringLiteral("configuration"), configurationJson()},
                              {QStringLiteral("allPassed"), m_allPassed},
                              {QStringLiteral("checks"), m_checks},
                              {QStringLiteral("locations"), rows}});
    } else {
        m_terminal.printResult(QStringLiteral("Folders and files:"));
        for (const NamedLocation &location : locations)
            m_terminal.printResult(QStringLiteral("  %1 %2 %3")
                                       .arg(location.name, -26)
                                       .arg(stateOf(location.path), -8)
                                       .arg(location.path));
    }
    Q_EMIT finished(m_allPassed ? ExitCode::success : ExitCode::checkFailed);
}

} // namespace klv::cli
