#pragma once

#include <QWebEngineUrlSchemeHandler>

namespace klv::ui {

// Takes the klv:// links that store pages inside the window follow and hands them to the application; the page
// itself stays where it is.
class StoreLinkSchemeHandler final : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static inline const QByteArray scheme = QByteArrayLiteral("klv");

    // Makes the web engine know the scheme; must run before any web engine object exists.
    static void registerScheme();

    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob *job) override;

Q_SIGNALS:
    void linkRequested(const QUrl &url);
};

} // namespace klv::ui
