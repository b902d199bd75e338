#pragma once

#include <QString>

namespace klv::ui {

// The look of the stock form widgets the login panel and the account page keep (text fields and push buttons),
// from the theme's colours: rounded, flat, a visible focus outline. Buttons choose a look with the "look"
// property: "primary" (filled accent), "secondary" (outlined), "link" (text only) or "danger" (outlined in red).
QString formStyleSheet();

} // namespace klv::ui
