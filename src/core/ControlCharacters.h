#pragma once

#include <QString>

namespace klv {

// Text from the store (product and account names, messages) reaches the terminal and the log. Control characters
// in it would let it move the cursor, retitle the window or start a line that looks like one of ours, so they
// are written as visible escapes instead: a line break as \n, a carriage return as \r, a tab as \t, any other C0
// or C1 control character and DEL as \xHH or \u00HH. Bidirectional controls (U+202E and its kind) would let a
// name show reversed or make what follows it on the line read backwards; they become \uHHHH as well.
QString escapeControlCharacters(const QString &text);

} // namespace klv
