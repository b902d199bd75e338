#include "controls/KLVToggleButton2.h"

namespace klv::ui {

KLVToggleButton2::KLVToggleButton2(QWidget *parent)
    : IconButton(parent) {}

void KLVToggleButton2::setPrimaryIcon(const QString &resourcePath) {
    primaryIcon = SvgIcon(resourcePath);
    update();
}

void KLVToggleButton2::setSecondaryIcon(const QString &resourcePath) {
    secondaryIcon = SvgIcon(resourcePath);
    update();
}

void KLVToggleButton2::setToggle(bool toggle) {
    toggled = toggle;
    update();
}

const SvgIcon &KLVToggleButton2::currentIcon() const {
    return toggled ? secondaryIcon : primaryIcon;
}

} // namespace klv::ui
