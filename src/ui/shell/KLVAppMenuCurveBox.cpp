#include "shell/KLVAppMenuCurveBox.h"

#include "controls/TintedIconView.h"
#include "style/Theme.h"

#include <QPushButton>

namespace klv::ui {

namespace {

constexpr int iconSize = 18;
constexpr int iconLeft = 14;
constexpr int titleLeft = iconLeft + iconSize + 12;

QColor disabledTint() {
    QColor dim = theme::color(NamedColor::textSecondary);
    dim.setAlphaF(0.35f);
    return dim;
}

} // namespace

KLVAppMenuCurveBox::KLVAppMenuCurveBox(QWidget *parent)
    : KLVApp_CurveBox(parent)
    , icon(new TintedIconView(this))
    , button(new QPushButton(this))
    , titleColor(theme::color(NamedColor::appMenuTextDefaultColor)) {
    setMinimumHeight(36);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::StrongFocus);
    applyButtonStyle();
    icon->setTint(theme::color(NamedColor::accent));
    icon->raise();
}

void KLVAppMenuCurveBox::setIcon(const QString &resourcePath) {
    icon->setIcon(resourcePath);
}

void KLVAppMenuCurveBox::setTitle(const QString &title) {
    button->setText(title);
    button->setAccessibleName(title);
}

void KLVAppMenuCurveBox::setTitleColor(const QColor &color) {
    titleColor = color;
    applyButtonStyle();
}

void KLVAppMenuCurveBox::setMenuItemEnabled(bool enabled) {
    button->setEnabled(enabled);
    icon->setEnabled(enabled);
    icon->setTint(enabled ? theme::color(NamedColor::accent) : disabledTint());
}

bool KLVAppMenuCurveBox::isMenuItemEnabled() const {
    return button->isEnabled();
}

void KLVAppMenuCurveBox::resizeEvent(QResizeEvent *event) {
    KLVApp_CurveBox::resizeEvent(event);
    button->setGeometry(rect());
    icon->setGeometry(iconLeft, (height() - iconSize) / 2, iconSize, iconSize);
}

void KLVAppMenuCurveBox::applyButtonStyle() {
    // The button spans the whole item so a click anywhere selects it; the title starts right of the icon.
    button->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; text-align: left;"
                                         " padding-left: %1px; color: %2; font-size: 13px; }"
                                         "QPushButton:disabled { color: %3; }"
                                         "QPushButton:focus { border: 2px solid %4; border-radius: %5px; }")
                              .arg(titleLeft)
                              .arg(titleColor.name(QColor::HexArgb), disabledTint().name(QColor::HexArgb),
                                   theme::color(NamedColor::accent).name())
                              .arg(int(corner())));
}

} // namespace klv::ui
