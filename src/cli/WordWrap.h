#pragma once

#include <QString>

namespace klv::cli {

// Breaks text into lines of at most width characters, at spaces; a longer word stays whole on its own line.
QString wordWrap(const QString &text, int width);

} // namespace klv::cli
