#pragma once

#include <QWebEngineView>

class QWebEngineProfile;

namespace klv::ui {

class StoreLinkSchemeHandler;

// A store web page inside the window (featured page, tutorials): the store's user agent, and a way to pause
// every video of the page when the customer leaves it.
class StoreWebView final : public QWebEngineView {
    Q_OBJECT
public:
    static inline const QString userAgent = QStringLiteral(
        "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_6) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/13.1.2 "
        "Safari/605.1.15");
    static inline const QString pauseScript = QStringLiteral(
        "var videos = document.querySelectorAll(\"video\"); for (var i = videos.length - 1; i >= 0; i--) { "
        "videos[i].pause(); };");

    // Must run before the application object exists: web views share the window's graphics context, and the
    // klv:// scheme is known to the web engine only when registered before its first use.
    static void prepareProcess();
    // The profile all store pages share; created on first use, after the window's first frame.
    static QWebEngineProfile &storeProfile();
    // Where klv:// links followed on any store page arrive.
    static StoreLinkSchemeHandler &linkHandler();

    explicit StoreWebView(QWidget *parent = nullptr);

    void pauseVideos();

protected:
    void childEvent(QChildEvent *event) override;

private:
    // The engine draws each view through a hidden window of its own, titled "Offscreen". Screen readers list every
    // ordinary top-level window as a frame of the application, so these would stand beside the real one, empty;
    // typed as pop-ups, they are left out.
    static void keepRenderWindowsFromScreenReaders();
};

} // namespace klv::ui
