#pragma once

#include <QColor>
#include <QWidget>

namespace klv::ui {

// The rewards bar: a thick rounded track, the customer's progress filled over it, and under it the column headings
// of the coupon table that follows.
class KLVApp_CustomProgressBar : public QWidget {
    Q_OBJECT

public:
    explicit KLVApp_CustomProgressBar(QWidget *parent = nullptr);

    double curValue() const { return current; }
    void setCurValue(double value);
    double maxValue() const { return maximum; }
    void setMaxValue(double value);
    qreal lineWidth() const { return lineThickness; }
    void setLineWidth(qreal lineWidth);
    qreal padding() const { return leftPadding; }
    void setPadding(qreal padding);
    qreal lineHeight() const { return lineY; }
    void setLineHeight(qreal lineHeight);

    // Where the fill starts and, when there is any progress to show, where it ends.
    qreal fillStart() const;
    qreal fillEnd() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void describeValue();

    double current = 0;
    double maximum = 100;
    qreal lineThickness = 20;
    qreal leftPadding = 120;
    qreal lineY = 14;
};

} // namespace klv::ui
