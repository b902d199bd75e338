#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// Large JSON documents (a library of a quarter of a million products) read and written a piece at a time. The
// scanner finds where each element or member ends without building a tree, and each piece is parsed on its own, so
// the whole document is never held as QJson values; it checks only the structure between the pieces, and parsing a
// piece checks the piece. Writing appends text directly, without a QJsonObject per record.
namespace klv::json {

// The text of each element of the JSON array that is the whole of `text` (surrounding whitespace aside).
std::optional<QList<QByteArrayView>> arrayElementTexts(QByteArrayView text);
// Each member of the JSON object that is the whole of `text`: its key and the text of its value, in order.
std::optional<QList<std::pair<QString, QByteArrayView>>> objectMemberTexts(QByteArrayView text);
// The one JSON value of `text`, of any type.
std::optional<QJsonValue> parseValue(QByteArrayView text);
// Appends the text as a JSON string, quoted and escaped, in UTF-8.
void appendQuoted(QByteArray &out, const QString &text);

} // namespace klv::json
