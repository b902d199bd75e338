#pragma once

#include <QColor>
#include <QWidget>

namespace klv::ui {

// A thin separator of the login panel, horizontal or vertical, centred in its bounds.
class LoginSeperationLine : public QWidget {
    Q_OBJECT

public:
    explicit LoginSeperationLine(QWidget *parent = nullptr);

    void setLineColor(const QColor &color);
    QColor lineColor() const { return color; }
    void setDrawVertical(bool vertical);
    bool isDrawVertical() const { return vertical; }
    void setThick(qreal thickness);
    qreal thick() const { return thickness; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor color;
    bool vertical = false;
    qreal thickness = 2;
};

} // namespace klv::ui
