#pragma once

class QMenu;

namespace klv::ui {

// Gives a pop-up menu the window's dark look: rounded where the desktop draws see-through windows, square and
// opaque where it does not, so that no black corners show. The desktop is asked again each time the menu opens.
void applyMenuTheme(QMenu &menu);
// The look for a desktop that does (true) or does not draw see-through windows.
void setMenuCorners(QMenu &menu, bool seeThrough);

} // namespace klv::ui
