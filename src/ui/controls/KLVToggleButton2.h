#pragma once

#include "controls/IconButton.h"
#include "style/SvgIcon.h"

namespace klv::ui {

// A button with two icons: the secondary one while toggled (the password field's eye, open or struck out).
// Its user decides when it toggles.
class KLVToggleButton2 : public IconButton {
    Q_OBJECT

public:
    explicit KLVToggleButton2(QWidget *parent = nullptr);

    void setPrimaryIcon(const QString &resourcePath);
    void setSecondaryIcon(const QString &resourcePath);
    bool isToggle() const { return toggled; }
    void setToggle(bool toggle);

protected:
    const SvgIcon &currentIcon() const override;

private:
    SvgIcon primaryIcon;
    SvgIcon secondaryIcon;
    bool toggled = false;
};

} // namespace klv::ui
