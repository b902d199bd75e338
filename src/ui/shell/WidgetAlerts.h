#pragma once

#include "store/Alerts.h"

namespace klv::ui {

// Alerts as modal message boxes: the title, the message and the buttons left to right in the order given. The
// first button is the default; Escape (and closing the box) chooses the last one when there are several.
class WidgetAlerts final : public Alerts {
public:
    int present(const QString &title, const QString &message, const QStringList &buttons) override;
};

} // namespace klv::ui
