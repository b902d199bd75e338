#pragma once

#include "controls/KLVApp_CurveBox.h"

class QPushButton;

namespace klv::ui {

class TintedIconView;

// One item of the window's section menu: an icon and a flat button over the rounded box. The main window wires
// the button's click and sets the highlight (background and title colour) of the selected item.
class KLVAppMenuCurveBox : public KLVApp_CurveBox {
    Q_OBJECT

public:
    explicit KLVAppMenuCurveBox(QWidget *parent = nullptr);

    QPushButton *appMenuButton() const { return button; }
    TintedIconView *appMenuIcon() const { return icon; }

    void setIcon(const QString &resourcePath);
    void setTitle(const QString &title);
    void setTitleColor(const QColor &color);
    // Enables or disables icon and button together; the icon takes the accent colour when enabled.
    void setMenuItemEnabled(bool enabled);
    bool isMenuItemEnabled() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyButtonStyle();

    TintedIconView *icon;
    QPushButton *button;
    QColor titleColor;
};

} // namespace klv::ui
