#include "controls/StoreWebView.h"

#include "controls/StoreLinkSchemeHandler.h"
#include "style/Theme.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWindow>

namespace klv::ui {

void StoreWebView::prepareProcess() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    StoreLinkSchemeHandler::registerScheme();
}

QWebEngineProfile &StoreWebView::storeProfile() {
    // Off the record: the pages are the store's public ones and leave nothing behind in the home folder.
    static QWebEngineProfile *profile = [] {
        auto *created = new QWebEngineProfile(QCoreApplication::instance());
        created->setHttpUserAgent(userAgent);
        created->installUrlSchemeHandler(StoreLinkSchemeHandler::scheme, &linkHandler());
        return created;
    }();
    return *profile;
}

StoreLinkSchemeHandler &StoreWebView::linkHandler() {
    static auto *handler = new StoreLinkSchemeHandler(QCoreApplication::instance());
    return *handler;
}

StoreWebView::StoreWebView(QWidget *parent)
    : QWebEngineView(parent) {
    auto *page = new QWebEnginePage(&storeProfile(), this);
    page->setBackgroundColor(theme::color(NamedColor::backgroundSecondary));
    // A page that fails stays dark: whoever shows the view says why, in the window's own words.
    page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    setPage(page);
}

void StoreWebView::pauseVideos() {
    page()->runJavaScript(pauseScript);
}

void StoreWebView::childEvent(QChildEvent *event) {
    QWebEngineView::childEvent(event);
    // The drawing widget arrives as a child; its hidden window exists once the widget is constructed.
    if (event->type() == QEvent::ChildAdded)
        QTimer::singleShot(0, &StoreWebView::keepRenderWindowsFromScreenReaders);
}

void StoreWebView::keepRenderWindowsFromScreenReaders() {
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->handle() == nullptr && window->inherits("QQuickWindow") &&
            window->title() == QLatin1StringView("Offscreen") && window->type() != Qt::Popup)
            window->setFlags((window->flags() & ~Qt::WindowType_Mask) | Qt::Popup);
    }
}

} // namespace klv::ui
