#include "store/JsonTextScanner.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace klv::json {

namespace {

bool isWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

qsizetype skipWhitespace(QByteArrayView text, qsizetype at) {
    while (at < text.size() && isWhitespace(text[at]))
        ++at;
    return at;
}

// Past the string that starts at `at` (its opening quote), or -1 when it never ends.
qsizetype skipString(QByteArrayView text, qsizetype at) {
    for (++at; at < text.size(); ++at) {
        if (text[at] == '\\')
            ++at;
        else if (text[at] == '"')
            return at + 1;
    }
    return -1;
}

// Past the value that starts at `at`, or -1 when it runs past the end. Brackets are only counted: whether they
// match is for the parser of the piece to say.
qsizetype skipValue(QByteArrayView text, qsizetype at) {
    if (at >= text.size())
        return -1;
    const char first = text[at];
    if (first == '"')
        return skipString(text, at);
    if (first == '{' || first == '[') {
        int depth = 0;
        while (at < text.size()) {
            const char c = text[at];
            if (c == '"') {
                at = skipString(text, at);
                if (at < 0)
                    return -1;
                continue;
            }
            if (c == '{' || c == '[')
                ++depth;
            else if ((c == '}' || c == ']') && --depth == 0)
                return at + 1;
            ++at;
        }
        return -1;
    }
    const qsizetype start = at;
    while (at < text.size() && !isWhitespace(text[at]) && text[at] != ',' && text[at] != ']' && text[at] != '}')
        ++at;
    return at > start ? at : -1;
}

// Calls `piece(from, to)` for each comma-separated piece between the brackets `open` and `close` that are the
// whole of `text`; false when the structure is broken or `piece` says so.
template <typename Piece> bool forEachPiece(QByteArrayView text, char open, char close, Piece &&piece) {
    qsizetype at = skipWhitespace(text, 0);
    if (at >= text.size() || text[at] != open)
        return false;
    at = skipWhitespace(text, at + 1);
    if (at < text.size() && text[at] == close)
        return skipWhitespace(text, at + 1) == text.size();
    while (true) {
        const std::optional<qsizetype> end = piece(at);
        if (!end)
            return false;
        at = skipWhitespace(text, *end);
        if (at >= text.size())
            return false;
        if (text[at] == close)
            return skipWhitespace(text, at + 1) == text.size();
        if (text[at] != ',')
            return false;
        at = skipWhitespace(text, at + 1);
    }
}

} // namespace

std::optional<QList<QByteArrayView>> arrayElementTexts(QByteArrayView text) {
    QList<QByteArrayView> elements;
    const bool whole = forEachPiece(text, '[', ']', [&](qsizetype at) -> std::optional<qsizetype> {
        const qsizetype end = skipValue(text, at);
        if (end < 0)
            return std::nullopt;
        elements.append(text.sliced(at, end - at));
        return end;
    });
    if (!whole)
        return std::nullopt;
    return elements;
}

std::optional<QList<std::pair<QString, QByteArrayView>>> objectMemberTexts(QByteArrayView text) {
    QList<std::pair<QString, QByteArrayView>> members;
    const bool whole = forEachPiece(text, '{', '}', [&](qsizetype at) -> std::optional<qsizetype> {
        if (at >= text.size() || text[at] != '"')
            return std::nullopt;
        const qsizetype keyEnd = skipString(text, at);
        if (keyEnd < 0)
            return std::nullopt;
        const std::optional<QJsonValue> key = parseValue(text.sliced(at, keyEnd - at));
        const qsizetype colon = skipWhitespace(text, keyEnd);
        if (!key || colon >= text.size() || text[colon] != ':')
            return std::nullopt;
        const qsizetype valueStart = skipWhitespace(text, colon + 1);
        const qsizetype valueEnd = skipValue(text, valueStart);
        if (valueEnd < 0)
            return std::nullopt;
        members.append({key->toString(), text.sliced(valueStart, valueEnd - valueStart)});
        return valueEnd;
    });
    if (!whole)
        return std::nullopt;
    return members;
}

std::optional<QJsonValue> parseValue(QByteArrayView text) {
    // A document holds an array or an object only; the value is read as the one element of an array.
    QByteArray wrapped;
    wrapped.reserve(text.size() + 2);
    wrapped.append('[').append(text).append(']');
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &error);
    if (error.error != QJsonParseError::NoError || document.array().size() != 1)
        return std::nullopt;
    return document.array().first();
}

namespace {

void appendEscapedUnit(QByteArray &out, char16_t unit) {
    static constexpr char hexDigits[] = "0123456789abcdef";
    out.append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4)
        out.append(hexDigits[(unit >> shift) & 0xf]);
}

void appendUtf8(QByteArray &out, char32_t codePoint) {
    if (codePoint < 0x800) {
        out.append(char(0xc0 | (codePoint >> 6)));
    } else if (codePoint < 0x10000) {
        out.append(char(0xe0 | (codePoint >> 12)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3f)));
    } else {
        out.append(char(0xf0 | (codePoint >> 18)));
        out.append(char(0x80 | ((codePoint >> 12) & 0x3f)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3f)));
    }
    out.append(char(0x80 | (codePoint & 0x3f)));
}

} // namespace

void appendQuoted(QByteArray &out, const QString &text) {
    out.append('"');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit == u'"' || unit == u'\\') {
            out.append('\\').append(char(unit));
        } else if (unit == u'\n') {
            out.append("\\n");
        } else if (unit == u'\t') {
            out.append("\\t");
        } else if (unit < 0x20) {
            appendEscapedUnit(out, unit);
        } else if (unit < 0x80) {
            out.append(char(unit));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(unit, text[++i].unicode()));
        } else if (QChar::isSurrogate(unit)) {
            // A lone half of a pair has no UTF-8 form; escaped, it reads back as it was.
            appendEscapedUnit(out, unit);
        } else {
            appendUtf8(out, unit);
        }
    }
    out.append('"');
}

} // namespace klv::json
