#include "controls/KLVInfoButton.h"

namespace klv::ui {

KLVInfoButton::KLVInfoButton(QWidget *parent)
    : IconButton(parent)
    , icon(QStringLiteral(":/icons/info.svg")) {
    setAccessibleName(tr("Information"));
}

void KLVInfoButton::setInfoMessage(const QString &text) {
    message = text;
    // Screen readers read the message without opening the popover.
    setAccessibleDescription(text);
}

} // namespace klv::ui
