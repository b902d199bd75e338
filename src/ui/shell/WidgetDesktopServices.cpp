#include "shell/WidgetDesktopServices.h"

#include "store/LogFile.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>

namespace klv::ui {

using namespace Qt::StringLiterals;

WidgetDesktopServices::WidgetDesktopServices(LogFile &log)
    : m_log(log) {}

void WidgetDesktopServices::openUrl(const QUrl &url) {
    if (!QDesktopServices::openUrl(url))
        m_log.appendLog(u"The desktop could not open "_s + url.toString());
}

void WidgetDesktopServices::revealFolder(const QString &path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        m_log.appendLog(u"The desktop could not show the folder "_s + path);
}

void WidgetDesktopServices::copyText(const QString &text) {
    QGuiApplication::clipboard()->setText(text);
}

} // namespace klv::ui
