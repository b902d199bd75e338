#include "controls/InfoPopover.h"

#include "controls/KLVInfoButton.h"
#include "controls/KLVPopupViewController.h"

namespace klv::ui {

InfoPopover::InfoPopover(QWidget *popoverOwner, PopoverLinks linkStyle)
    : owner(popoverOwner)
    , links(linkStyle) {}

void InfoPopover::showFor(const KLVInfoButton &button) {
    if (!view) {
        view = new KLVPopupViewController(owner);
    }
    // The text is set on every showing, the first one included, so the popover is never empty.
    view->setText(popoverRichText(button.infoMessage(), links));
    view->showBelow(button);
}

} // namespace klv::ui
