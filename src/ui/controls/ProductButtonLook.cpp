#include "controls/ProductButtonLook.h"

#include "style/Theme.h"

namespace klv::ui {

ProductButtonLook::ProductButtonLook()
    : textColor(theme::color(NamedColor::textPrimaryButtonDefault))
    , borderColor(theme::color(NamedColor::outlinePrimaryButtonDefault))
    , bgColorDefault(theme::color(NamedColor::backgroundPrimaryButtonDefault))
    , bgColorHover(theme::color(NamedColor::backgroundPrimaryButtonHover))
    , bgColorActive(theme::color(NamedColor::backgroundPrimaryButtonActive)) {}

ProductButtonLook ProductButtonLook::forState(const ProductButtonState &state) {
    ProductButtonLook look;
    look.title = state.title;
    look.enabled = state.enabled;
    if (state.style == ProductButtonState::Style::install) {
        look.textColor = theme::color(NamedColor::textPrimaryButtonDefault);
        look.image = QStringLiteral(":/icons/Import_duotone_line-1.svg");
    } else {
        look.bgColorDefault = Qt::transparent;
        look.textColor = theme::color(NamedColor::textPrimaryButtonInstalled);
        look.image = QStringLiteral(":/icons/Done_ring_round_duotone-1.svg");
    }
    if (!state.imageShown) {
        look.image.clear();
    }
    return look;
}

} // namespace klv::ui
