#pragma once

#include "controls/PopoverText.h"

class QWidget;

namespace klv::ui {

class KLVInfoButton;
class KLVPopupViewController;

// Shows an information button's message in one popover, below the button; the popover is made on first use.
class InfoPopover {
public:
    explicit InfoPopover(QWidget *owner, PopoverLinks links);

    void showFor(const KLVInfoButton &button);
    // The popover, once shown: tests and link handlers reach it here.
    KLVPopupViewController *popover() const { return view; }

private:
    QWidget *owner;
    PopoverLinks links;
    KLVPopupViewController *view = nullptr;
};

} // namespace klv::ui
