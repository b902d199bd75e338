#pragma once

#include <QColor>
#include <QPalette>

class QApplication;

namespace klv::ui {

// Every named colour of the window. The names follow the asset names the views refer to; the values are ours,
// one dark theme.
enum class NamedColor {
    background,
    backgroundSecondary,
    accountSettingContainerBG,
    accountSettingSectionBG,
    appMenuBGColor,
    appMenuTextColor,
    appMenuTextDefaultColor,
    backgroundPrimaryButtonDefault,
    backgroundPrimaryButtonHover,
    backgroundPrimaryButtonActive,
    outlinePrimaryButtonDefault,
    outlineOptionButton,
    textPrimaryButtonDefault,
    textPrimaryButtonInstalled,
    rewardTierText,
    updateAvaliableTextColor,
    // Beyond the asset names: the text, accent and separator colours every view shares.
    textPrimary,
    textSecondary,
    accent,
    separator,
    fieldBackground,
    danger,
};

namespace theme {

QColor color(NamedColor name);
// A Fusion palette built from the table.
QPalette palette();
// Fusion style, the palette and the style sheet of the few stock widgets the window keeps.
void apply(QApplication &application);

} // namespace theme

} // namespace klv::ui
