#pragma once

#include <QByteArray>

namespace klv {

// Up to count bytes of the open file from offset, retried when interrupted; fewer at its end or on a read error.
QByteArray readFileRange(int descriptor, qint64 offset, qint64 count);

} // namespace klv
