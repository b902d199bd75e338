#pragma once

#include "store/DesktopServices.h"

namespace klv {
class LogFile;
}

namespace klv::ui {

// Web pages open in the default browser, folders in the file manager, text goes to the clipboard. What the
// desktop refuses is logged.
class WidgetDesktopServices final : public DesktopServices {
public:
    explicit WidgetDesktopServices(LogFile &log);

    void openUrl(const QUrl &url) override;
    void revealFolder(const QString &path) override;
    void copyText(const QString &text) override;

private:
    LogFile &m_log;
};

} // namespace klv::ui
