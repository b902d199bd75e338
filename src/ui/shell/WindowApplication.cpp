#include "shell/WindowApplication.h"

#include "app/AppContext.h"
#include "app/DiagnosticsRoute.h"
#include "app/StartupSequence.h"
#include "app/StoreNotifications.h"
#include "shell/MainViewController.h"
#include "shell/ProductLinkHandler.h"
#include "shell/SingleInstance.h"
#include "shell/StatusBarItem.h"
#include "shell/WidgetAlerts.h"
#include "shell/WidgetDesktopServices.h"
#include "store/Services.h"
#include "style/Theme.h"
#include "update/SelfUpdate.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {

QString instanceSocketPath() {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return QDir(runtime).filePath(u"klv-app.socket"_s);
}

} // namespace

WindowApplication::WindowApplication(QApplication &application)
    : m_application(application) {}

WindowApplication::~WindowApplication() = default;

int WindowApplication::run() {
    QApplication::setApplicationName(u"klv-app"_s);
    QApplication::setApplicationDisplayName(u"KLV App"_s);
    QApplication::setDesktopFileName(u"klv-app"_s);
    QApplication::setWindowIcon(QIcon(u":/icons/app-icon.svg"_s));
    theme::apply(m_application);

    m_instance = std::make_unique<SingleInstance>(instanceSocketPath());
    if (!m_instance->claim(QApplication::arguments().mid(1)))
        return 0;

    m_alerts = std::make_unique<WidgetAlerts>();
    m_context = std::make_unique<AppContext>(Configuration::fromEnvironment(), *m_alerts);
    Services &services = m_context->services();
    m_diagnostics = std::make_unique<DiagnosticsRoute>(services.log(), DiagnosticsRoute::Echo::asQtWould);
    m_desktop = std::make_unique<WidgetDesktopServices>(services.log());
    services.setDesktopServices(*m_desktop);
    if (const QString problem = services.configuration().storeProblem(); !problem.isEmpty()) {
        services.reporter().showAlert(u"Alert"_s, problem, u"OK"_s);
        return 1;
    }

    m_statusBarItem = std::make_unique<StatusBarItem>(services.reporter());
    // The running window comes back as it was: starting afresh would lose its section and search.
    connect(m_statusBarItem.get(), &StatusBarItem::openRequested, this, &WindowApplication::raiseWindow);
    connect(m_statusBarItem.get(), &StatusBarItem::quitRequested, &m_application, &QApplication::quit,
            Qt::QueuedConnection);
    runStartupSequence(*m_context, QApplication::arguments(), UpdaterFetch::whenMissing);

    m_window = std::make_unique<MainViewController>(*m_context);
    m_statusBarItem->followSale(m_context->marketing());
    connect(m_statusBarItem.get(), &StatusBarItem::checkForUpdatesRequested, this, &WindowApplication::checkForUpdates);
    // A new version, once downloaded, is offered with a notification as well as on the account page.
    m_context->notifications().announceReadyUpdates();
    m_context->selfUpdate().checkAppVersion();
    // Refused, an update brings back this window from wherever it was started.
    m_context->selfUpdate().setRelaunchProgram(QApplication::applicationFilePath());
    // The updater replaces the application only once it has ended.
    connect(&m_context->selfUpdate(), &SelfUpdate::updaterStarted, &m_application, &QApplication::quit,
            Qt::QueuedConnection);
    m_links = std::make_unique<ProductLinkHandler>(*m_context, *m_window);
    connect(m_window.get(), &MainViewController::productLinkRequested, m_links.get(), &ProductLinkHandler::openLink);
    // A second launch raises this window and hands over its klv:// link, if any.
    connect(m_instance.get(), &SingleInstance::activationRequested, this, [this](const QStringList &arguments) {
        raiseWindow();
        m_links->openArguments(arguments);
    });
    // The window manager's frame is known only once the window is on screen; room is kept for a usual one.
    m_window->fitInto(m_window->screen()->availableGeometry(), QMargins(4, 36, 4, 4));
    m_window->show();
    m_links->openArguments(QApplication::arguments().mid(1));
    return QApplication::exec();
}

void WindowApplication::checkForUpdates() {
    raiseWindow();
    SelfUpdate &selfUpdate = m_context->selfUpdate();
    if (!selfUpdate.replacesItself()) {
        m_context->services().reporter().showAlert(u"Alert"_s, SelfUpdate::packageManagerNote(), u"OK"_s);
        return;
    }
    // The account page shows what the store answers, and offers a new version once it is downloaded.
    if (m_context->services().settings().sessionActive)
        m_window->showSection(appMenuIndex::accountAppMenu);
    selfUpdate.checkAppVersion();
}

void WindowApplication::raiseWindow() {
    if (m_window)
        m_window->bringToFront();
}

} // namespace klv::ui
