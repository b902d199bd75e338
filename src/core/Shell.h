#pragma once

#include <QString>

namespace klv {

// Runs a command line with "/bin/zsh -c" and waits for it. With captureOutput the merged standard output
// and error come back as text; otherwise the child writes to ours and the result is empty.
QString runShell(const QString &commandLine, bool captureOutput);

} // namespace klv
