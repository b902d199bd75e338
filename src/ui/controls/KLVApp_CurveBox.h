#pragma once

#include <QColor>
#include <QWidget>

namespace klv::ui {

// A rounded box filled with one colour: the sections of the account page and the items of the window's menu.
class KLVApp_CurveBox : public QWidget {
    Q_OBJECT

public:
    explicit KLVApp_CurveBox(QWidget *parent = nullptr);

    qreal corner() const { return cornerRadius; }
    void setCorner(qreal radius);
    QColor bgColor() const { return background; }
    void setBgColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal cornerRadius = 4;
    QColor background;
};

} // namespace klv::ui
