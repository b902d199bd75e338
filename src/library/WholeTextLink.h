#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace klv {

// The web address a store text holds, only when the text is one well-formed http or https link from its first
// character to its last: any text around the link (blanks, words, a closing full stop) means no link at all.
std::optional<QUrl> wholeTextLink(const QString &text);

} // namespace klv
