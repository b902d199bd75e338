#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QPainter;

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
    // Text, outlines and focus marks drawn over a coloured fill.
    textOnColor,
    // The see-through white laid over a control that answers the mouse; its strength is the alpha asked for.
    wash,
    appMenuTextDisabledColor,
    // The default of the login panel's boxes and lines until their owner colours them.
    loginSeparation,
    saleBannerStart,
    saleBannerEnd,
    productPageBackground,
    videoBackground,
    addToCart,
    rewardsProgressTrack,
    rewardsProgressFill,
    rewardStateOrange,
    rewardStateGreen,
};

// The sizes and weights of text beside the body text, each grown from the font it replaces.
enum class NamedFont {
    body,
    rowTitle,
    sectionTitle,
    panelTitle,
    // Painted into list rows: a product's or reward's title, a listing's larger title, the line below a title,
    // a painted button's label, and the initial on a picture's placeholder tile (small and large).
    paintedTitle,
    paintedLargeTitle,
    paintedSubLine,
    paintedButton,
    tileInitial,
    largeTileInitial,
};

namespace theme {

QColor color(NamedColor name);
// The named colour with the given alpha (0 to 255).
QColor color(NamedColor name, int alpha);
QFont font(NamedFont name, const QFont &base);
// Where a picture has not arrived yet: the name's initial on a quiet rounded tile.
void drawPlaceholderTile(QPainter &painter, const QRectF &frame, qreal radius, const QString &name, NamedFont initial);
// A Fusion palette built from the table.
QPalette palette();
// Fusion style and the palette; the stock widgets the window keeps take their looks with setLook().
void apply(QApplication &application);

} // namespace theme

} // namespace klv::ui
