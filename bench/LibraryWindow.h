#pragma once

#include "store/Alerts.h"

#include <QObject>

#include <functional>
#include <memory>

class QLineEdit;
class QTreeView;

namespace klv {
class AppContext;
namespace ui {
class MainViewController;
}
} // namespace klv

namespace klv::bench {

// The real window over the current home, started as klv-app starts it, showing My Products; counts the frames the
// library's outline paints. Alerts go to the standard error instead of modal boxes, so nothing waits for a click.
class LibraryWindow final : public QObject {
    Q_OBJECT
public:
    LibraryWindow();
    ~LibraryWindow() override;

    ui::MainViewController &window() const { return *m_window; }
    AppContext &context() const { return *m_context; }
    QTreeView &outline() const { return *m_outline; }
    QLineEdit &searchField() const { return *m_searchField; }

    int outlineFrames() const { return m_outlineFrames; }
    // Processes events until the outline has painted a frame showing rows; false after timeoutMs.
    bool waitForFirstRows(int timeoutMs);
    // Processes events until the outline has painted another frame after `frames`; false after timeoutMs.
    bool waitForFrameAfter(int frames, int timeoutMs);
    // Processes events until the condition holds; false after timeoutMs.
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class StandardErrorAlerts final : public Alerts {
    public:
        int present(const QString &title, const QString &message, const QStringList &buttons) override;
    };

    StandardErrorAlerts m_alerts;
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<ui::MainViewController> m_window;
    QTreeView *m_outline = nullptr;
    QLineEdit *m_searchField = nullptr;
    int m_outlineFrames = 0;
    int m_framesWithRows = 0;
};

} // namespace klv::bench
