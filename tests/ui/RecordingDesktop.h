#pragma once

#include "store/DesktopServices.h"

#include <QList>
#include <QStringList>
#include <QUrl>

namespace klv::test {

// Keeps what the window hands to the desktop instead of opening browsers and file managers.
struct RecordingDesktop final : DesktopServices {
    void openUrl(const QUrl &url) override { opened.append(url); }
    void revealFolder(const QString &path) override { revealed.append(path); }
    void copyText(const QString &text) override { copied.append(text); }
    QList<QUrl> opened;
    QStringList revealed;
    QStringList copied;
};

} // namespace klv::test
