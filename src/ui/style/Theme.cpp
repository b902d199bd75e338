#include "style/Theme.h"

#include "style/CachedRoundedBox.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>

namespace klv::ui::theme {

QColor color(NamedColor name) {
    switch (name) {
    case NamedColor::background:
        return {0x17, 0x17, 0x1b};
    case NamedColor::backgroundSecondary:
        return {0x1f, 0x1f, 0x25};
    case NamedColor::accountSettingContainerBG:
        return {0x1b, 0x1b, 0x20};
    case NamedColor::accountSettingSectionBG:
        return {0x25, 0x26, 0x2d};
    case NamedColor::appMenuBGColor:
        return {0x2a, 0x30, 0x44};
    case NamedColor::appMenuTextColor:
        return {0xff, 0xff, 0xff};
    case NamedColor::appMenuTextDefaultColor:
        return {0x9b, 0x9c, 0xa8};
    case NamedColor::backgroundPrimaryButtonDefault:
        return {0x3d, 0x7b, 0xf7};
    case NamedColor::backgroundPrimaryButtonHover:
        return {0x5a, 0x8f, 0xff};
    case NamedColor::backgroundPrimaryButtonActive:
        return {0x2c, 0x62, 0xd4};
    case NamedColor::outlinePrimaryButtonDefault:
        return {0x3a, 0x3c, 0x48};
    case NamedColor::outlineOptionButton:
        return {0x44, 0x46, 0x53};
    case NamedColor::textPrimaryButtonDefault:
        return {0xff, 0xff, 0xff};
    case NamedColor::textPrimaryButtonInstalled:
        return {0x8c, 0x8e, 0x9a};
    case NamedColor::rewardTierText:
        return {0xc8, 0xc9, 0xd3};
    case NamedColor::updateAvaliableTextColor:
        return {0xfe, 0x71, 0x66};
    case NamedColor::textPrimary:
        return {0xec, 0xec, 0xf1};
    case NamedColor::textSecondary:
        return {0x9b, 0x9c, 0xa8};
    case NamedColor::accent:
        return {0x3d, 0x7b, 0xf7};
    case NamedColor::separator:
        return {0x2d, 0x2e, 0x36};
    case NamedColor::fieldBackground:
        return {0x26, 0x27, 0x2e};
    case NamedColor::danger:
        return {0xff, 0x5f, 0x57};
    case NamedColor::textOnColor:
    case NamedColor::wash:
        return {0xff, 0xff, 0xff};
    case NamedColor::appMenuTextDisabledColor: {
        QColor dim = color(NamedColor::textSecondary);
        dim.setAlphaF(0.35f);
        return dim;
    }
    case NamedColor::loginSeparation:
        return QColor::fromRgbF(0.15f, 0.15f, 0.15f);
    case NamedColor::saleBannerStart:
    case NamedColor::addToCart:
    case NamedColor::rewardsProgressFill:
        return {254, 113, 102};
    case NamedColor::saleBannerEnd:
        return {123, 77, 255};
    case NamedColor::productPageBackground:
        return {27, 27, 30};
    case NamedColor::videoBackground:
        return {0, 0, 0};
    case NamedColor::rewardsProgressTrack:
        return {49, 50, 53};
    case NamedColor::rewardStateOrange:
        return {255, 149, 0};
    case NamedColor::rewardStateGreen:
        return {52, 199, 89};
    }
    return {};
}

QColor color(NamedColor name, int alpha) {
    QColor faded = color(name);
    faded.setAlpha(alpha);
    return faded;
}

QFont font(NamedFont name, const QFont &base) {
    QFont sized = base;
    switch (name) {
    case NamedFont::body:
        break;
    case NamedFont::rowTitle:
        sized.setWeight(QFont::Medium);
        break;
    case NamedFont::sectionTitle:
        sized.setPointSizeF(base.pointSizeF() * 1.15);
        sized.setWeight(QFont::DemiBold);
        break;
    case NamedFont::panelTitle:
        sized.setPointSizeF(base.pointSizeF() * 1.55);
        sized.setWeight(QFont::DemiBold);
        break;
    case NamedFont::paintedTitle:
        sized.setPointSizeF(base.pointSizeF() + 1.0);
        sized.setWeight(QFont::DemiBold);
        break;
    case NamedFont::paintedLargeTitle:
        sized.setPointSizeF(base.pointSizeF() + 2.0);
        sized.setWeight(QFont::DemiBold);
        break;
    case NamedFont::paintedSubLine:
        sized.setPointSizeF(base.pointSizeF() - 1.0);
        break;
    case NamedFont::paintedButton:
        sized.setWeight(QFont::DemiBold);
        break;
    case NamedFont::tileInitial:
        sized.setPointSizeF(base.pointSizeF() + 6.0);
        sized.setWeight(QFont::Bold);
        break;
    case NamedFont::largeTileInitial:
        sized.setPointSizeF(base.pointSizeF() + 8.0);
        sized.setWeight(QFont::Bold);
        break;
    }
    return sized;
}

void drawPlaceholderTile(QPainter &painter, const QRectF &frame, qreal radius, const QString &name, NamedFont initial) {
    CachedRoundedBox::draw(painter, frame, radius, color(NamedColor::accountSettingSectionBG), Qt::transparent, 0);
    painter.setFont(font(initial, painter.font()));
    painter.setPen(color(NamedColor::textSecondary));
    painter.drawText(frame, Qt::AlignCenter, name.left(1).toUpper());
}

QPalette palette() {
    QPalette palette;
    const QColor text = color(NamedColor::textPrimary);
    const QColor dimText = color(NamedColor::textSecondary);
    palette.setColor(QPalette::Window, color(NamedColor::background));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, color(NamedColor::fieldBackground));
    palette.setColor(QPalette::AlternateBase, color(NamedColor::backgroundSecondary));
    palette.setColor(QPalette::ToolTipBase, color(NamedColor::accountSettingSectionBG));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dimText);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, color(NamedColor::accountSettingSectionBG));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, color(NamedColor::danger));
    palette.setColor(QPalette::Highlight, color(NamedColor::accent));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, color(NamedColor::backgroundPrimaryButtonHover));
    palette.setColor(QPalette::Light, color(NamedColor::outlineOptionButton));
    palette.setColor(QPalette::Midlight, color(NamedColor::outlinePrimaryButtonDefault));
    palette.setColor(QPalette::Mid, color(NamedColor::separator));
    palette.setColor(QPalette::Dark, color(NamedColor::background));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, color(NamedColor::textPrimaryButtonInstalled).darker(130));
    }
    return palette;
}

void apply(QApplication &application) {
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    application.setPalette(palette());
}

} // namespace klv::ui::theme
