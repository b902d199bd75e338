#pragma once

#include "controls/KLVApp_CurveBox.h"

class QPushButton;

namespace klv::ui {

class TintedIconView;

// One item of the window's section menu: an icon and a flat button over the rounded box. The main window wires
// the button's click and tells the item when it is the selected one.
class KLVAppMenuCurveBox : public KLVApp_CurveBox {
    Q_OBJECT

public:
    explicit KLVAppMenuCurveBox(QWidget *parent = nullptr);

    QPushButton *appMenuButton() const { return button; }
    TintedIconView *appMenuIcon() const { return icon; }

    void setIcon(const QString &resourcePath);
    void setTitle(const QString &title);
    // The selected item is highlighted: its own background and a brighter title.
    void setSelected(bool selected);
    // Enables or disables icon and button together; the icon takes the accent colour when enabled.
    void setMenuItemEnabled(bool enabled);
    bool isMenuItemEnabled() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    TintedIconView *icon;
    QPushButton *button;
};

} // namespace klv::ui
