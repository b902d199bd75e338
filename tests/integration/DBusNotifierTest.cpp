#include "store/DBusNotifier.h"
#include "app/StoreNotifications.h"
#include "store/DesktopServices.h"
#include "store/Services.h"
#include "update/SelfUpdate.h"

#include "ArchiveWriter.h"
#include "CliRun.h"
#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "storeservice/StoreProcess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using test::readFile;
using test::waitUntil;
using test::writeFile;

const QString notificationsService = u"org.freedesktop.Notifications"_s;
const QString notificationsPath = u"/org/freedesktop/Notifications"_s;
const QByteArray logoBytes = "not really a PNG, but the notifier only hands the file over";

// A session bus of our own, so the tests neither need nor disturb the desktop's.
class PrivateBus {
public:
    bool start() {
        m_daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        address = QString::fromUtf8(test::readUntil(m_daemon, QProcess::StandardOutput, "\n")).trimmed();
        return !address.isEmpty();
    }
    ~PrivateBus() {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5'000))
            m_daemon.kill();
        m_daemon.waitForFinished();
    }

    QString address;

private:
    QProcess m_daemon;
};

// Stands in for the desktop's notification service: records each Notify and can send the answers a user gives.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        uint id;
        uint replacesId;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    QList<Shown> shown;

public Q_SLOTS:
    uint Notify(const QString &, uint replacesId, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int) {
        const uint id = replacesId != 0 ? replacesId : ++m_lastId;
        shown.append({id, replacesId, summary, body, actions, hints});
        return id;
    }

Q_SIGNALS:
    void ActionInvoked(uint id, const QString &actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    uint m_lastId = 0;
};

// Counts a signal of the notification service as a connection of the app receives it. The app's own handler,
// connected earlier, has run by then: a test waits for this rather than for a while.
class SignalSeen final : public QObject {
    Q_OBJECT
public:
    SignalSeen(const QString &connection, const QString &signal) {
        QDBusConnection(connection)
            .connect(QString(), notificationsPath, notificationsService, signal, this, SLOT(seen()));
    }

    int count = 0;

public Q_SLOTS:
    void seen() { ++count; }
};

class RecordingDesktop final : public DesktopServices {
public:
    void openUrl(const QUrl &url) override { opened.append(url); }
    void revealFolder(const QString &) override {}
    void copyText(const QString &) override {}

    QList<QUrl> opened;
};

class DBusNotifierTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_bus = std::make_unique<PrivateBus>();
        ASSERT_TRUE(s_bus->start()) << "dbus-daemon gave no address";
        s_catalog = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(writeFile(s_catalog->filePath(u"store.json"_s), "{}"));
        ASSERT_TRUE(writeFile(s_catalog->filePath(u"files/logo.png"_s), logoBytes));
        s_store = std::make_unique<storeservice::StoreProcess>(s_catalog->path());
        ASSERT_TRUE(s_store->start()) << s_store->errorString().toStdString();
    }
    static void TearDownTestSuite() {
        s_store.reset();
        s_catalog.reset();
        s_bus.reset();
    }

    void TearDown() override { stop(); }

    // The app's side and, when asked for, the service, each on its own connection to the private bus.
    void start(const QString &logoPath = u"/files/logo.png"_s, bool withService = true,
               const QString &storeUrl = u"https://store.example"_s) {
        stop();
        ++s_run;
        m_serviceName = u"klv-notification-service-%1"_s.arg(s_run);
        m_clientName = u"klv-notification-client-%1"_s.arg(s_run);
        if (withService) {
            QDBusConnection serviceBus = QDBusConnection::connectToBus(s_bus->address, m_serviceName);
            ASSERT_TRUE(serviceBus.registerObject(notificationsPath, &service,
                                                  QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
            ASSERT_TRUE(serviceBus.registerService(notificationsService));
        }
        Configuration configuration = Configuration::fromEnvironment();
        configuration.storeUrl = storeUrl;
        configuration.downloadBucketUrl = storeUrl + u"/files/bucket/"_s;
        configuration.logoUrl = s_store->url() + logoPath;
        services = std::make_unique<Services>(configuration, alerts);
        ASSERT_TRUE(QDir().mkpath(services->locations().logFolderURL));
        services->setDesktopServices(desktop);
        notifier = std::make_unique<DBusNotifier>(QDBusConnection::connectToBus(s_bus->address, m_clientName),
                                                  services->log());
        selfUpdate = std::make_unique<SelfUpdate>(*services);
        notifications = std::make_unique<StoreNotifications>(*services, *notifier, *selfUpdate);
    }

    void stop() {
        notifications.reset();
        selfUpdate.reset();
        notifier.reset();
        services.reset();
        QDBusConnection::disconnectFromBus(m_serviceName);
        QDBusConnection::disconnectFromBus(m_clientName);
    }

    // Posts and waits for the service to show it; the shown notification.
    FakeNotificationService::Shown post(notificationType kind, const QVariantMap &userInfo) {
        const qsizetype before = service.shown.size();
        EXPECT_TRUE(notifications->postStoreNotification(kind, userInfo));
        EXPECT_TRUE(waitUntil([&] { return service.shown.size() > before; }));
        return service.shown.value(service.shown.size() - 1);
    }
    FakeNotificationService::Shown postSale(const QString &title) {
        return post(notificationType::buySale,
                    {{u"Request Data Main String"_s, title}, {u"Request Data Sub String"_s, u"30% Off"_s}});
    }
    FakeNotificationService::Shown postInstalled(const QString &product) {
        return post(notificationType::installComplete, {{u"Request Data Product Name"_s, product}});
    }
    QStringList logLines() const {
        return QString::fromUtf8(readFile(services->locations().logFileURL)).split(u'\n', Qt::SkipEmptyParts);
    }
    qsizetype logLinesContaining(const QString &text) const { return logLines().filter(text).size(); }
    QString logoFile() const { return services->locations().sharedContainerURL + u"companyLogo.png"_s; }

    static inline std::unique_ptr<PrivateBus> s_bus;
    static inline std::unique_ptr<QTemporaryDir> s_catalog;
    static inline std::unique_ptr<storeservice::StoreProcess> s_store;
    static inline int s_run = 0;

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    RecordingDesktop desktop;
    FakeNotificationService service;
    std::unique_ptr<Services> services;
    std::unique_ptr<DBusNotifier> notifier;
    std::unique_ptr<SelfUpdate> selfUpdate;
    std::unique_ptr<StoreNotifications> notifications;
    QString m_serviceName;
    QString m_clientName;
};

TEST_F(DBusNotifierTest, SaleAndInstallationNotificationsCarryTheirTextsButtonsAndLogo) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto sale = postSale(u"Sale of the Day"_s);
    EXPECT_EQ(sale.summary, u"Sale of the Day");
    EXPECT_EQ(sale.body, u"30% Off");
    ASSERT_GE(sale.actions.size(), 2);
    EXPECT_EQ(sale.actions.mid(0, 2), (QStringList{u"buy"_s, u"Buy"_s}));
    EXPECT_EQ(sale.hints.value(u"image-path"_s).toString(), QUrl::fromLocalFile(logoFile()).toString());
    EXPECT_EQ(readFile(logoFile()), logoBytes) << "the logo is downloaded to the shared container first";

    const auto installed = postInstalled(u"Kinetic Titles"_s);
    EXPECT_EQ(installed.summary, u"KLV App");
    EXPECT_EQ(installed.body, u"Kinetic Titles installation complete");
    EXPECT_TRUE(installed.actions.isEmpty());
    EXPECT_EQ(installed.hints.value(u"image-path"_s), sale.hints.value(u"image-path"_s));
    EXPECT_EQ(logLinesContaining(u"Error"_s), 0) << logLines().join(u'\n').toStdString();
}

TEST_F(DBusNotifierTest, ANewerNotificationReplacesThePendingOne) {
    ASSERT_NO_FATAL_FAILURE(start());
    // Two installations finishing while the logo is still on its way: only the later one is shown.
    notifications->postStoreNotification(notificationType::installComplete, {{u"Request Data Product Name"_s, u"A"_s}});
    const auto second = postInstalled(u"B"_s);
    EXPECT_EQ(second.body, u"B installation complete");
    EXPECT_EQ(second.replacesId, 0u);
    EXPECT_EQ(postInstalled(u"C"_s).replacesId, second.id);
    EXPECT_EQ(service.shown.size(), 2);

    // Once closed, nothing is pending: the next one is new. One posted while the service has not answered the
    // previous one yet waits for that answer, then replaces it.
    SignalSeen closed(m_clientName, u"NotificationClosed"_s);
    Q_EMIT service.NotificationClosed(second.id, 2);
    ASSERT_TRUE(waitUntil([&] { return closed.count == 1; }));
    notifier->post(*NotificationContent::make(notificationType::klvAppUpdate, {}));
    notifier->post(*NotificationContent::make(notificationType::news, {}));
    ASSERT_TRUE(waitUntil([&] { return service.shown.size() == 4; }));
    EXPECT_EQ(service.shown[2].replacesId, 0u);
    EXPECT_NE(service.shown[2].id, 0u);
    EXPECT_EQ(service.shown[3].replacesId, service.shown[2].id);
}

TEST_F(DBusNotifierTest, AnsweringASaleOpensItsStorePage) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto other = postSale(u"Spring Sale"_s);
    Q_EMIT service.ActionInvoked(other.id, u"buy"_s);

    // Answers to other clients' notifications are not ours.
    const auto throwback = postSale(u"throw back THURSDAY"_s);
    Q_EMIT service.ActionInvoked(throwback.id + 100, u"buy"_s);
    Q_EMIT service.ActionInvoked(throwback.id, u"buy"_s);
    ASSERT_TRUE(waitUntil([&] { return desktop.opened.size() == 1; }));

    // A click on the notification counts as an answer too.
    const auto daily = postSale(u"Sale of the Day"_s);
    ASSERT_TRUE(daily.actions.contains(u"default"_s));
    Q_EMIT service.ActionInvoked(daily.id, u"default"_s);
    ASSERT_TRUE(waitUntil([&] { return desktop.opened.size() == 2; }));

    EXPECT_EQ(desktop.opened, (QList<QUrl>{QUrl(u"https://store.example/product-category/throwback/"_s),
                                           QUrl(u"https://store.example/product-category/sale-of-the-day/"_s)}));
}

TEST_F(DBusNotifierTest, OnlyUpdateNowStartsTheUpdate) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto update = post(notificationType::klvAppUpdate, {});
    EXPECT_EQ(update.actions.mid(0, 4), (QStringList{u"later"_s, u"Update Later"_s, u"now"_s, u"Update Now"_s}));
    SignalSeen answers(m_clientName, u"ActionInvoked"_s);
    Q_EMIT service.ActionInvoked(update.id, u"later"_s);
    Q_EMIT service.ActionInvoked(update.id, u"default"_s);
    Q_EMIT service.ActionInvoked(update.id, u"now"_s);
    ASSERT_TRUE(waitUntil([&] { return answers.count == 3; }));
    // No archive was downloaded, so the update refuses to start: the one attempt shows in the log.
    EXPECT_EQ(logLinesContaining(u"the update was not started"_s), 1);
    EXPECT_FALSE(selfUpdate->isUpdating());
}

TEST_F(DBusNotifierTest, ADownloadedNewVersionIsAnnouncedOnceAndOnlyUpdateNowStartsTheUpdater) {
    // A store whose version of the app is newer, with its archive in the bucket.
    QTemporaryDir catalog;
    test::copyFolder(test::fixtureCatalog(), catalog.path());
    QJsonObject content = QJsonDocument::fromJson(readFile(catalog.filePath(u"store.json"_s))).object();
    content.insert(u"appVersion"_s, u"99.0.0.1"_s);
    ASSERT_TRUE(writeFile(catalog.filePath(u"store.json"_s), QJsonDocument(content).toJson()));
    ASSERT_TRUE(test::ArchiveWriter::writeZip(catalog.filePath(u"files/bucket/KLV+App.zip"_s),
                                              {{u"KLV App.app/version"_s, "99.0.0.1\n"}}));
    storeservice::StoreProcess versionStore(catalog.path());
    ASSERT_TRUE(versionStore.start()) << versionStore.errorString().toStdString();
    ASSERT_NO_FATAL_FAILURE(start(u"/files/logo.png"_s, true, versionStore.url()));

    // An updater that only says it ran.
    const QString updater = services->locations().updaterAppURL;
    const QString marker = home.filePath(u"updater-ran"_s);
    ASSERT_TRUE(writeFile(updater + u"/AppRun"_s, "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n"));
    QFile::setPermissions(updater + u"/AppRun"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    notifications->announceReadyUpdates();
    notifications->announceReadyUpdates();
    selfUpdate->checkAppVersion();
    ASSERT_TRUE(waitUntil([&] { return !service.shown.isEmpty(); }, 20'000));
    const auto announcement = service.shown.constFirst();
    EXPECT_EQ(announcement.summary, u"KLV App 99.0.0.1"_s);
    EXPECT_EQ(announcement.actions.mid(0, 4), (QStringList{u"later"_s, u"Update Later"_s, u"now"_s, u"Update Now"_s}));
    // The same version checked again is not announced twice.
    QSignalSpy checked(selfUpdate.get(), &SelfUpdate::updateAreaChanged);
    selfUpdate->checkAppVersion();
    ASSERT_TRUE(waitUntil([&] { return !checked.isEmpty(); }));
    EXPECT_FALSE(notifications->isPosting());
    EXPECT_EQ(service.shown.size(), 1);

    SignalSeen answers(m_clientName, u"ActionInvoked"_s);
    Q_EMIT service.ActionInvoked(announcement.id, u"later"_s);
    ASSERT_TRUE(waitUntil([&] { return answers.count == 1; }));
    EXPECT_FALSE(QFileInfo::exists(marker));
    EXPECT_FALSE(selfUpdate->isUpdating());
    Q_EMIT service.ActionInvoked(announcement.id, u"now"_s);
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(marker); }));
    EXPECT_TRUE(selfUpdate->isUpdating());
}

TEST_F(DBusNotifierTest, AMissingLogoIsLoggedAndTheNotificationGoesWithout) {
    ASSERT_NO_FATAL_FAILURE(start(u"/files/no-logo.png"_s));

    const auto shown = postInstalled(u"Kinetic Titles"_s);
    EXPECT_FALSE(shown.hints.contains(u"image-path"_s));
    // The next one goes without asking the store again: a second attempt would fail and be logged again.
    EXPECT_FALSE(postInstalled(u"Neon Signs"_s).hints.contains(u"image-path"_s));
    EXPECT_EQ(logLinesContaining(u"Error while try to get company logo The server answered 404"_s), 1)
        << logLines().join(u'\n').toStdString();
}

TEST_F(DBusNotifierTest, WithoutAServiceOrABusAPostIsOneLogLine) {
    ASSERT_NO_FATAL_FAILURE(start(u"/files/logo.png"_s, false));
    EXPECT_TRUE(notifications->postStoreNotification(notificationType::installComplete,
                                                     {{u"Request Data Product Name"_s, u"Kinetic Titles"_s}}));
    const QString noService = u"no notification service answered"_s;
    ASSERT_TRUE(waitUntil([&] { return logLinesContaining(noService) > 0; }));
    EXPECT_EQ(logLinesContaining(noService), 1);

    DBusNotifier unconnected(QDBusConnection(u"klv-no-such-bus"_s), services->log());
    unconnected.post(*NotificationContent::make(notificationType::news, {}));
    EXPECT_EQ(logLinesContaining(u"no session bus"_s), 1);
    EXPECT_EQ(logLines().size(), 2);
}

// Runs klv while this process's event loop goes on, so that the fake service can answer it.
int runKlvServing(const QStringList &arguments, const QProcessEnvironment &environment, const QByteArray &input = {}) {
    QProcess klv;
    klv.setProcessEnvironment(environment);
    klv.start(QString::fromUtf8(KLV_CLI_BINARY), arguments);
    klv.write(input);
    klv.closeWriteChannel();
    if (!waitUntil([&] { return klv.state() == QProcess::NotRunning; }, 60'000)) {
        klv.kill();
        klv.waitForFinished();
        return -1;
    }
    EXPECT_EQ(klv.exitCode(), 0) << klv.readAllStandardError().toStdString();
    return klv.exitCode();
}

TEST_F(DBusNotifierTest, KlvDeliversItsNotificationsBeforeItEnds) {
    ASSERT_NO_FATAL_FAILURE(start());
    QTemporaryDir catalog;
    test::copyFolder(test::installCatalog(), catalog.path());
    QJsonObject content = QJsonDocument::fromJson(readFile(catalog.filePath(u"store.json"_s))).object();
    content.insert(u"marketing"_s, QJsonDocument::fromJson(readFile(test::fixtureFolder(u"marketing/store.json"_s)))
                                       .object()
                                       .value(u"marketing"_s));
    ASSERT_TRUE(writeFile(catalog.filePath(u"store.json"_s), QJsonDocument(content).toJson()));
    ASSERT_TRUE(writeFile(catalog.filePath(u"files/logo.png"_s), logoBytes));
    // The logo answers late the first time: the notification does not wait for it long.
    storeservice::StoreProcess store(catalog.path(),
                                     {u"--fault"_s, u"path=/files/logo.png,kind=delay,delayMs=20000"_s});
    ASSERT_TRUE(store.start()) << store.errorString().toStdString();
    QProcessEnvironment environment = home.environment();
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, s_bus->address);
    environment.insert(u"KLV_STORE_URL"_s, store.url());
    environment.insert(u"KLV_PLUGIN_SITE_URL"_s, store.url() + u"/files/plugins/"_s);
    environment.insert(u"KLV_LOGO_URL"_s, store.url() + u"/files/logo.png"_s);
    ASSERT_EQ(runKlvServing({u"login"_s, u"tester"_s, u"--password-stdin"_s}, environment, "secret\n"), 0);

    QElapsedTimer took;
    took.start();
    ASSERT_EQ(runKlvServing({u"install"_s, u"Fixture Titles"_s}, environment), 0);
    EXPECT_LT(took.elapsed(), 15'000) << "klv waited for the logo";
    ASSERT_EQ(service.shown.size(), 1);
    EXPECT_EQ(service.shown[0].body, u"Fixture Titles installation complete");
    EXPECT_FALSE(service.shown[0].hints.contains(u"image-path"_s));

    // Once the logo is at hand it goes with every notification, also from a klv that starts anew.
    ASSERT_TRUE(writeFile(logoFile(), logoBytes));
    ASSERT_EQ(runKlvServing({u"sale"_s}, environment), 0);
    ASSERT_GE(service.shown.size(), 2);
    const FakeNotificationService::Shown &sale = service.shown.constLast();
    EXPECT_EQ(sale.summary, u"Sale of the Day");
    EXPECT_EQ(sale.body, u"30% Off");
    EXPECT_EQ(sale.hints.value(u"image-path"_s).toString(), QUrl::fromLocalFile(logoFile()).toString());
}

} // namespace
} // namespace klv

#include "DBusNotifierTest.moc"
