#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QApplication;

namespace klv {
class AppContext;
class DiagnosticsRoute;
} // namespace klv

namespace klv::ui {

class MainViewController;
class ProductLinkHandler;
class SingleInstance;
class StatusBarItem;
class WidgetAlerts;
class WidgetDesktopServices;

// The application as the desktop sees it: one instance per user, the start-up sequence, the status item, the
// window, and the end of the process when the window closes or on "Quit"; "Open" brings the window back.
class WindowApplication final : public QObject {
    Q_OBJECT
public:
    explicit WindowApplication(QApplication &application);
    ~WindowApplication() override;

    // The exit status.
    int run();

    MainViewController *window() const { return m_window.get(); }

private:
    void checkForUpdates();
    void raiseWindow();

    QApplication &m_application;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<WidgetAlerts> m_alerts;
    std::unique_ptr<WidgetDesktopServices> m_desktop;
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<DiagnosticsRoute> m_diagnostics;
    std::unique_ptr<StatusBarItem> m_statusBarItem;
    std::unique_ptr<MainViewController> m_window;
    std::unique_ptr<ProductLinkHandler> m_links;
};

} // namespace klv::ui
