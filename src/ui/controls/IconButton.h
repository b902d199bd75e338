#pragma once

#include <QAbstractButton>

namespace klv::ui {

class SvgIcon;

// A borderless button showing one SVG icon scaled to its bounds, with a soft hover backdrop and a focus ring.
class IconButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit IconButton(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    virtual const SvgIcon &currentIcon() const = 0;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool hovered = false;
};

} // namespace klv::ui
