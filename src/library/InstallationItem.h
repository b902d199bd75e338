#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>

namespace klv {

// One job of the installation queue.
struct InstallationItem {
    qint64 product_id = 0;
    QString product_name;
    QString installProcessType;
    QHash<QString, double> progress;
    QJsonObject downloadExtraInfo;

    friend bool operator==(const InstallationItem &, const InstallationItem &) = default;
};

} // namespace klv
