#include "controls/KLVInfoButton.h"

namespace klv::ui {

KLVInfoButton::KLVInfoButton(QWidget *parent)
    : IconButton(parent)
    , icon(QStringLiteral(":/icons/info.svg")) {
    setAccessibleName(tr("Information"));
}

KLVInfoButton *KLVInfoButton::make(const QString &accessibleName, const QString &message, QWidget *parent) {
    auto *button = new KLVInfoButton(parent);
    button->setFixedSize(16, 16);
    button->setAccessibleName(accessibleName);
    button->setInfoMessage(message);
    return button;
}

void KLVInfoButton::setInfoMessage(const QString &text) {
    message = text;
    // Screen readers read the message without opening the popover; its backslash-n line breaks are pauses.
    setAccessibleDescription(QString(text).replace(QStringLiteral("\\n"), QStringLiteral(" ")));
}

} // namespace klv::ui
