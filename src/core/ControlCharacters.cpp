#include "core/ControlCharacters.h"

namespace klv {

namespace {

// The embeddings, overrides and isolates, and the three marks; a terminal would apply them to the rest of the line.
bool isBidiControl(char16_t c) {
    return c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || isBidiControl(c);
}

QString escaped(char16_t c) {
    switch (c) {
    case u'\n':
        return QStringLiteral("\\n");
    case u'\r':
        return QStringLiteral("\\r");
    case u'\t':
        return QStringLiteral("\\t");
    default:
        return c < 0x80 ? QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'))
                        : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    }
}

} // namespace

QString escapeControlCharacters(const QString &text) {
    qsizetype next = 0;
    while (next < text.size() && !isControl(text.at(next).unicode()))
        ++next;
    if (next == text.size())
        return text;
    QString result = text.left(next);
    result.reserve(text.size() + 8);
    for (; next < text.size(); ++next) {
        const char16_t c = text.at(next).unicode();
        if (isControl(c))
            result += escaped(c);
        else
            result += QChar(c);
    }
    return result;
}

} // namespace klv
