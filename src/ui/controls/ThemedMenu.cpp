#include "controls/ThemedMenu.h"

#include "style/Theme.h"

#include <QMenu>

namespace klv::ui {

void applyMenuTheme(QMenu &menu) {
    menu.setWindowFlags(menu.windowFlags() | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    menu.setAttribute(Qt::WA_TranslucentBackground);
    menu.setStyleSheet(
        QStringLiteral("QMenu { background: %1; border: 1px solid %2; border-radius: 8px; padding: 5px; }"
                       "QMenu::item { color: %3; padding: 6px 22px 6px 12px; border-radius: 5px;"
                       " font-size: 13px; }"
                       "QMenu::item:selected { background: %4; color: white; }"
                       "QMenu::item:disabled { color: %5; }"
                       "QMenu::separator { height: 1px; background: %2; margin: 4px 6px; }")
            .arg(theme::color(NamedColor::accountSettingSectionBG).name(),
                 theme::color(NamedColor::outlineOptionButton).name(), theme::color(NamedColor::textPrimary).name(),
                 theme::color(NamedColor::accent).name(), theme::color(NamedColor::textSecondary).name()));
}

} // namespace klv::ui
