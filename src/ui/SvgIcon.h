#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

#include <memory>

class QPainter;
class QSvgRenderer;

namespace klv::ui {

// One SVG drawing of the resources, parsed once and painted at any size, so icons stay crisp at every scale.
class SvgIcon {
public:
    SvgIcon();
    explicit SvgIcon(const QString &resourcePath);
    SvgIcon(SvgIcon &&) noexcept;
    SvgIcon &operator=(SvgIcon &&) noexcept;
    ~SvgIcon();

    bool isNull() const;
    void paint(QPainter &painter, const QRectF &target) const;
    // The drawing's shape filled with one colour (its alpha kept), for icons that follow a state colour.
    void paintTinted(QPainter &painter, const QRectF &target, const QColor &tint) const;

private:
    std::unique_ptr<QSvgRenderer> renderer;
};

} // namespace klv::ui
