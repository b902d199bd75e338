#pragma once

class QMenu;

namespace klv::ui {

// Gives a pop-up menu the window's dark, rounded look.
void applyMenuTheme(QMenu &menu);

} // namespace klv::ui
