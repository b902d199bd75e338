#pragma once

#include <QByteArrayView>
#include <QString>

namespace klv {

// The IBM PC character set, which zip names without the UTF-8 flag use when they are not UTF-8: what DOS and old
// Windows archivers wrote.
QString fromCodePage437(QByteArrayView bytes);

} // namespace klv
