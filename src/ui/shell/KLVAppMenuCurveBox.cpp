#include "shell/KLVAppMenuCurveBox.h"

#include "controls/TintedIconView.h"
#include "style/FormStyle.h"
#include "style/Theme.h"

#include <QPushButton>

namespace klv::ui {

namespace {

// The look "appMenuItem" starts the title right of the icon.
constexpr int iconSize = 18;
constexpr int iconLeft = 14;

} // namespace

KLVAppMenuCurveBox::KLVAppMenuCurveBox(QWidget *parent)
    : KLVApp_CurveBox(parent)
    , icon(new TintedIconView(this))
    , button(new QPushButton(this)) {
    setMinimumHeight(36);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    // Reached with Tab; a click picks the section without leaving a focus ring on the item.
    button->setFocusPolicy(Qt::TabFocus);
    setLook(*button, "appMenuItem");
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

void KLVAppMenuCurveBox::setSelected(bool selected) {
    setBgColor(selected ? theme::color(NamedColor::appMenuBGColor) : QColor(Qt::transparent));
    setLook(*button, selected ? "selectedAppMenuItem" : "appMenuItem");
}

void KLVAppMenuCurveBox::setMenuItemEnabled(bool enabled) {
    button->setEnabled(enabled);
    icon->setEnabled(enabled);
    icon->setTint(theme::color(enabled ? NamedColor::accent : NamedColor::appMenuTextDisabledColor));
}

bool KLVAppMenuCurveBox::isMenuItemEnabled() const {
    return button->isEnabled();
}

void KLVAppMenuCurveBox::resizeEvent(QResizeEvent *event) {
    KLVApp_CurveBox::resizeEvent(event);
    button->setGeometry(rect());
    icon->setGeometry(iconLeft, (height() - iconSize) / 2, iconSize, iconSize);
}

} // namespace klv::ui
