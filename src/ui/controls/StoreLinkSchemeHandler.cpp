#include "controls/StoreLinkSchemeHandler.h"

#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace klv::ui {

void StoreLinkSchemeHandler::registerScheme() {
    QWebEngineUrlScheme klv(scheme);
    klv.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(klv);
}

void StoreLinkSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job) {
    const QUrl url = job->requestUrl();
    job->fail(QWebEngineUrlRequestJob::RequestAborted);
    Q_EMIT linkRequested(url);
}

} // namespace klv::ui
