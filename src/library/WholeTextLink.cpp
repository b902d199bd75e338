#include "library/WholeTextLink.h"

#include <algorithm>

namespace klv {

namespace {

// Link detectors leave sentence punctuation after an address outside the link, so such a text is not one link.
bool endsWithPunctuation(const QString &text) {
    static const QString trailing = QStringLiteral(".,:;!?'");
    const QChar last = text.back();
    if (trailing.contains(last))
        return true;
    return last == u')' && text.count(u')') > text.count(u'(');
}

} // namespace

std::optional<QUrl> wholeTextLink(const QString &text) {
    if (text.isEmpty() || endsWithPunctuation(text) || std::any_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.isSpace() || c.category() == QChar::Other_Control;
        }))
        return std::nullopt;
    // Strict parsing refuses what a tolerant parse would quietly escape, so the address goes out as written.
    const QUrl link(text, QUrl::StrictMode);
    const QString scheme = link.scheme();
    if (!link.isValid() || link.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return std::nullopt;
    return link;
}

} // namespace klv
