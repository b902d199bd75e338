#pragma once

class QWidget;

namespace klv::ui {

// Whether the desktop draws see-through windows now: on X a compositing manager runs (most plain X sessions have
// none, and there a see-through corner shows black). Other platforms always compose.
bool seeThroughWindowsShown();

// Makes a pop-up see-through (its rounded corners show what lies below) or opaque; a pop-up already made for the
// screen is made again, since the kind of window is chosen when it is made.
void makeSeeThrough(QWidget &popup, bool seeThrough);

} // namespace klv::ui
