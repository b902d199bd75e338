#pragma once

#include "controls/IconButton.h"
#include "style/SvgIcon.h"

namespace klv::ui {

// The small "i" button beside a field; its user shows `infoMessage` in a popover when it is clicked.
class KLVInfoButton : public IconButton {
    Q_OBJECT

public:
    explicit KLVInfoButton(QWidget *parent = nullptr);
    // The small button placed beside a heading, read out by its name and message; its owner connects clicked.
    static KLVInfoButton *make(const QString &accessibleName, const QString &message, QWidget *parent);

    QString infoMessage() const { return message; }
    void setInfoMessage(const QString &text);

protected:
    const SvgIcon &currentIcon() const override { return icon; }

private:
    SvgIcon icon;
    QString message;
};

} // namespace klv::ui
