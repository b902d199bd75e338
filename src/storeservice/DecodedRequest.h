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
};

} // namespace klv::storeservice
