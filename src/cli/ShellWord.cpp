#include "cli/ShellWord.h"

#include <algorithm>

namespace klv::cli {

QString shellWord(const QString &text) {
    const bool plain = !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c.unicode() < 0x80 && c.isLetterOrNumber()) || QStringView(u"._-/+,:@%").contains(c);
    });
    if (plain)
        return text;
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

} // namespace klv::cli
