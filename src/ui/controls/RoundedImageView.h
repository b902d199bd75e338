#pragma once

#include <QImage>
#include <QWidget>

namespace klv::ui {

// A picture filling the widget, cropped to it and drawn with rounded corners; a quiet tile while there is none.
class RoundedImageView final : public QWidget {
    Q_OBJECT
public:
    explicit RoundedImageView(qreal cornerRadius, QWidget *parent = nullptr);

    void setImage(const QImage &image);
    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_cornerRadius;
    QImage m_image;
};

} // namespace klv::ui
