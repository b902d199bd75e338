#pragma once

#include <QByteArray>
#include <QString>

namespace klv {

// What came back for one store request.
struct StoreResponse {
    // False when no HTTP answer arrived at all (no connection, time-out, TLS failure).
    bool hasBody = false;
    QByteArray body;
    int httpStatus = 0;
    // The transport's complaint, empty when there was none.
    QString transportError;
};

} // namespace klv
