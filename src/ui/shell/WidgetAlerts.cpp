#include "shell/WidgetAlerts.h"

#include "controls/AlertBox.h"

#include <QApplication>

namespace klv::ui {

int WidgetAlerts::present(const QString &title, const QString &message, const QStringList &buttons) {
    AlertBox box(title, message, buttons, QApplication::activeWindow());
    box.exec();
    return box.chosenIndex();
}

} // namespace klv::ui
