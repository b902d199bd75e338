#pragma once

#include "style/SvgIcon.h"

#include <QWidget>

namespace klv::ui {

// An SVG icon painted in one colour, which its owner changes with its state.
class TintedIconView : public QWidget {
    Q_OBJECT

public:
    explicit TintedIconView(QWidget *parent = nullptr);

    void setIcon(const QString &resourcePath);
    QColor tint() const { return tintColor; }
    void setTint(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SvgIcon icon;
    QColor tintColor;
};

} // namespace klv::ui
