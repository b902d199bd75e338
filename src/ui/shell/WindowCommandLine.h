#pragma once

#include <optional>

namespace klv::ui {

// What klv-app answers before it opens a display, so that --version and --help work anywhere (a terminal over
// ssh, a package check): the exit status when it answered, nothing when the window is to start.
std::optional<int> answerWithoutWindow(int argc, const char *const *argv);

} // namespace klv::ui
