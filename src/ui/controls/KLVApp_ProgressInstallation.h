#pragma once

#include <QColor>
#include <QProgressBar>

namespace klv::ui {

// The installation strip's bar: a thin rounded track with the running job's share filled in. It is a progress bar
// to screen readers, whose value is the whole percent done.
class KLVApp_ProgressInstallation : public QProgressBar {
    Q_OBJECT

public:
    explicit KLVApp_ProgressInstallation(QWidget *parent = nullptr);

    double currentValue() const { return current; }
    void setCurrentValue(double value);
    double maxValue() const { return maximum; }
    void setMaxValue(double value);
    QColor bgColor() const { return track; }
    void setBgColor(const QColor &color);
    QColor fgColor() const { return fill; }
    void setFgColor(const QColor &color);

    // The share done, 0 to 1.
    double share() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void updateValue();

    double current = 0;
    double maximum = 1;
    QColor track;
    QColor fill;
};

} // namespace klv::ui
