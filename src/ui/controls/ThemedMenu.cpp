#include "controls/ThemedMenu.h"

#include "style/FormStyle.h"

#include <QMenu>

namespace klv::ui {

void applyMenuTheme(QMenu &menu) {
    menu.setWindowFlags(menu.windowFlags() | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    menu.setAttribute(Qt::WA_TranslucentBackground);
    setLook(menu, "themed");
}

} // namespace klv::ui
