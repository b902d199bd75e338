#pragma once

#include <QString>

namespace klv::ui {

enum class PopoverLinks { none, firstHttpsAddress };

// The rich text a popover shows for an information message: every backslash-n pair becomes a line break, the rest
// is shown literally, and with `firstHttpsAddress` the first "https://" address (up to white space) is a link.
QString popoverRichText(const QString &infoMessage, PopoverLinks links);

} // namespace klv::ui
