#pragma once

#include <QString>
#include <QUrl>

namespace klv {

// What the core asks of the desktop: open a web page, show a folder, copy text. Each front end implements it.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    virtual void openUrl(const QUrl &url) = 0;
    virtual void revealFolder(const QString &path) = 0;
    virtual void copyText(const QString &text) = 0;
};

} // namespace klv
