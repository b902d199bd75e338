#pragma once

#include <QColor>
#include <QWidget>

namespace klv::ui {

// The login panel's background box: by default it draws nothing; a background and a border can be switched on.
class LoginSeperationBox : public QWidget {
    Q_OBJECT

public:
    explicit LoginSeperationBox(QWidget *parent = nullptr);

    void setBgColor(const QColor &color);
    QColor bgColor() const { return background; }
    void setDrawBG(bool draw);
    bool isDrawBG() const { return drawBackground; }
    void setBdColor(const QColor &color);
    QColor bdColor() const { return border; }
    void setDrawBorder(bool draw);
    bool isDrawBorder() const { return drawBorder; }
    void setCorner(qreal radius);
    qreal corner() const { return cornerRadius; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor background;
    bool drawBackground = false;
    QColor border;
    bool drawBorder = false;
    qreal cornerRadius = 0;
};

} // namespace klv::ui
