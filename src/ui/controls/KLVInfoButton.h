#pragma once

#include "controls/IconButton.h"
#include "style/SvgIcon.h"

namespace klv::ui {

// The small "i" button beside a field; its user shows `infoMessage` in a popover when it is clicked.
class KLVInfoButton : public IconButton {
    Q_OBJECT

public:
    explicit KLVInfoButton(QWidget *parent = nullptr);

    QString infoMessage() const { return message; }
    void setInfoMessage(const QString &text);

protected:
    const SvgIcon &currentIcon() const override { return icon; }

private:
    SvgIcon icon;
    QString message;
};

} // namespace klv::ui
