#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>

#include <memory>

class QPainter;
class QSvgRenderer;

namespace klv::ui {

// One SVG drawing of the resources, parsed once and painted at any size, so icons stay crisp at every scale.
// The last rendering is kept: rows of a list paint the same icon at the same size over and over.
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
    void paintCached(QPainter &painter, const QRectF &target, const QColor &tint) const;

    std::unique_ptr<QSvgRenderer> renderer;
    mutable QImage rendered;
    mutable QColor renderedTint;
};

} // namespace klv::ui
