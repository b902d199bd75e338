#pragma once

#include "controls/ProductButtonLook.h"
#include "controls/ProductButtonPainter.h"

#include <QAbstractButton>

namespace klv::ui {

// The product button: a rounded, filled button with an image left of a separator and its title. It lights up under
// the mouse and darkens while pressed; disabled, it stays clear. Library rows and the account page's update button.
class KLVApp_CustomProductBtn : public QAbstractButton {
    Q_OBJECT

public:
    explicit KLVApp_CustomProductBtn(QWidget *parent = nullptr);

    const ProductButtonLook &look() const { return buttonLook; }
    // Replaces title, colours, image and measures at once; the enabled state follows the look.
    void setLook(const ProductButtonLook &look);
    // The library row's button for a product state; `tag` is the product's number.
    void applyState(const ProductButtonState &state, qint64 tag);
    qint64 tag() const { return productTag; }

    void setTitle(const QString &title);
    void setTextColor(const QColor &color);
    void setBorderColor(const QColor &color);
    void setBackgroundColors(const QColor &normal, const QColor &hover, const QColor &active);
    // An icon resource, or empty for none.
    void setImage(const QString &resource);
    void setDrawLine(bool draw);
    void setDrawBG(bool draw);

    // The background currently drawn.
    QColor currentBackground() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    ProductButtonLook buttonLook;
    ProductButtonPainter painter;
    bool hovered = false;
    qint64 productTag = 0;
};

} // namespace klv::ui
