#pragma once

#include "style/SvgIcon.h"

#include <QWidget>

namespace klv::ui {

// An SVG drawing in its own colours, filling the widget (the logo above the login form).
class SvgImageView : public QWidget {
    Q_OBJECT

public:
    explicit SvgImageView(const QString &resourcePath, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SvgIcon image;
};

} // namespace klv::ui
