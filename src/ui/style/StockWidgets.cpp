#include "style/StockWidgets.h"

#include "style/FormStyle.h"

#include <QLabel>
#include <QPushButton>

namespace klv::ui {

QLabel *makeLabel(const QString &text, NamedColor color, QWidget *parent, NamedFont font) {
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, theme::color(color));
    label->setPalette(palette);
    if (font != NamedFont::body)
        label->setFont(theme::font(font, label->font()));
    return label;
}

QPushButton *makeButton(const QString &text, const char *look, QWidget *parent) {
    auto *button = new QPushButton(text, parent);
    setLook(*button, look);
    button->setAutoDefault(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace klv::ui
