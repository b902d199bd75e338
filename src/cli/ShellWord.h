#pragma once

#include <QString>

namespace klv::cli {

// The text as one word for a POSIX shell, quoted only when it needs to be: a command klv suggests must run as
// printed when copied, whatever the product's name holds (spaces, quotes, "$", "&").
QString shellWord(const QString &text);

} // namespace klv::cli
