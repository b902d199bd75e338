#pragma once

class QAbstractScrollArea;
class QWidget;

namespace klv::ui {

// Gives a stock widget one of the window's named looks, for it and whatever it holds. The looks are one style
// sheet, from the theme's colours, and a widget picks one with its "look" property. Inside a widget whose look is
// "form" (the login panel, the account page) text fields and push buttons are rounded and flat with a visible
// focus outline, and a button there may pick "primary" (filled accent), "secondary" (outlined), "link" (text
// only), "danger" (outlined in red) or "value". A widget already shown takes a new look at once.
void setLook(QWidget &widget, const char *look);
// The scroll area's bars in the theme: thin, rounded, no arrow buttons.
void setScrollBarLook(QAbstractScrollArea &area);

} // namespace klv::ui
