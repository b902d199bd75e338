#include "controls/KLVApp_ProgressInstallation.h"

#include "style/Theme.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace klv::ui {

namespace {

constexpr qreal barThickness = 6;

} // namespace

KLVApp_ProgressInstallation::KLVApp_ProgressInstallation(QWidget *parent)
    : QProgressBar(parent)
    , track(21, 22, 33)
    , fill(theme::color(NamedColor::accent)) {
    setRange(0, 100);
    setTextVisible(false);
    setAccessibleName(tr("Installation progress"));
    updateValue();
}

void KLVApp_ProgressInstallation::setCurrentValue(double value) {
    current = value;
    updateValue();
}

void KLVApp_ProgressInstallation::setMaxValue(double value) {
    maximum = value;
    updateValue();
}

void KLVApp_ProgressInstallation::setBgColor(const QColor &color) {
    track = color;
    update();
}

void KLVApp_ProgressInstallation::setFgColor(const QColor &color) {
    fill = color;
    update();
}

double KLVApp_ProgressInstallation::share() const {
    return maximum > 0 ? std::clamp(current / maximum, 0.0, 1.0) : 0.0;
}

QSize KLVApp_ProgressInstallation::sizeHint() const {
    return {200, int(barThickness) + 4};
}

void KLVApp_ProgressInstallation::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF bar(0, (height() - barThickness) / 2, width(), barThickness);
    const qreal radius = barThickness / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(track);
    painter.drawRoundedRect(bar, radius, radius);
    const qreal filled = bar.width() * share();
    if (filled > 0) {
        bar.setWidth(std::max(filled, barThickness));
        painter.setBrush(fill);
        painter.drawRoundedRect(bar, radius, radius);
    }
}

void KLVApp_ProgressInstallation::updateValue() {
    // Whole percents, never 100 before the job is complete.
    setValue(int(std::floor(share() * 100)));
    update();
}

} // namespace klv::ui
