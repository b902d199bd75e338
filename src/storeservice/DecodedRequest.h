#pragma once

#include <QString>
#include <QStringList>

namespace klv::storeservice {

// A store request whose envelope was opened: what every handler works from.
struct DecodedRequest {
    QString endpoint;
    QString requestType;
    QStringList parameters; // p2, p3, … in order
    QString appVersion;
    // Scheme, host and port the client reached the store at, so answers can name the store's own files.
    QString storeUrl;
};

} // namespace klv::storeservice
