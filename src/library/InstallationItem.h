#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace klv {

// One job of the installation queue.
struct InstallationItem {
    qint64 product_id = 0;
    QString product_name;
    // The number of the library record the job installs. Resolve jobs carry 0 as their own number, yet their
    // record, row and installed state are the product's.
    qint64 recordId = 0;
    // Replaces an installed release (the menu's Update) rather than installing anew.
    bool isUpdate = false;
    QString installProcessType;
    QHash<QString, double> progress;
    QJsonObject downloadExtraInfo;
    // A repair replaces only these installed items (template folders, bundles, plug-ins, fonts); empty otherwise.
    QStringList repairItems;

    friend bool operator==(const InstallationItem &, const InstallationItem &) = default;
};

} // namespace klv
