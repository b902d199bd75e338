#include "controls/ThemedMenu.h"

#include "style/FormStyle.h"
#include "style/SeeThroughWindows.h"

#include <QMenu>

namespace klv::ui {

void applyMenuTheme(QMenu &menu) {
    menu.setWindowFlags(menu.windowFlags() | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setMenuCorners(menu, seeThroughWindowsShown());
    // A compositor may start or stop while the application runs.
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&menu] { setMenuCorners(menu, seeThroughWindowsShown()); });
}

void setMenuCorners(QMenu &menu, bool seeThrough) {
    makeSeeThrough(menu, seeThrough);
    setLook(menu, seeThrough ? "themed" : "squareThemed");
}

} // namespace klv::ui
