#include "LibraryWindow.h"

#include "app/AppContext.h"
#include "app/StartupSequence.h"
#include "products/StoreProductViewScript.h"
#include "shell/MainViewController.h"
#include "style/Theme.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace klv::bench {

int LibraryWindow::StandardErrorAlerts::present(const QString &title, const QString &message, const QStringList &) {
    std::fprintf(stderr, "Alert: %s: %s\n", qUtf8Printable(title), qUtf8Printable(message));
    return 0;
}

LibraryWindow::LibraryWindow() {
    // What klv-app does before its window opens, less the single-instance claim and the status item.
    QApplication::setApplicationName(u"klv-app"_s);
    ui::theme::apply(*qApp);
    m_context = std::make_unique<AppContext>(Configuration::fromEnvironment(), m_alerts);
    runStartupSequence(*m_context, QApplication::arguments(), UpdaterFetch::whenMissing);
    m_window = std::make_unique<ui::MainViewController>(*m_context);
    m_outline = m_window->storeProductView().findChild<QTreeView *>(u"productOLView"_s);
    m_searchField = m_window->storeProductView().findChild<QLineEdit *>(u"searchBarOutlet"_s);
    Q_ASSERT(m_outline && m_searchField);
    m_outline->viewport()->installEventFilter(this);
    m_window->show();
    m_window->showSection(appMenuIndex::myProductsAppMenu);
}

LibraryWindow::~LibraryWindow() = default;

bool LibraryWindow::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Paint && watched == m_outline->viewport()) {
        ++m_outlineFrames;
        if (m_outline->model()->rowCount() > 0)
            ++m_framesWithRows;
    }
    return QObject::eventFilter(watched, event);
}

bool LibraryWindow::waitUntil(const std::function<bool()> &condition, int timeoutMs) {
    // The timer wakes the wait up now and then, so the deadline is noticed however quiet the loop is.
    QTimer wakeUp;
    wakeUp.start(50);
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool LibraryWindow::waitForFirstRows(int timeoutMs) {
    return waitUntil([this] { return m_framesWithRows > 0; }, timeoutMs);
}

bool LibraryWindow::waitForFrameAfter(int frames, int timeoutMs) {
    return waitUntil([this, frames] { return m_outlineFrames > frames; }, timeoutMs);
}

} // namespace klv::bench
