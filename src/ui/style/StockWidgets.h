#pragma once

#include "style/Theme.h"

class QLabel;
class QPushButton;
class QWidget;

namespace klv::ui {

// A label in one of the theme's colours and fonts. Names, paths and messages are shown as they are, never read as
// markup.
QLabel *makeLabel(const QString &text, NamedColor color, QWidget *parent, NamedFont font = NamedFont::body);

// A push button in one of the looks of setLook(); Return and Enter press it when it has the focus, as Space does.
QPushButton *makeButton(const QString &text, const char *look, QWidget *parent);

} // namespace klv::ui
