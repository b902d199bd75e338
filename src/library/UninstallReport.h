#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

namespace klv {

// What an uninstall took away and what it left in place on purpose, so that the customer is told both.
struct UninstallReport {
    // Paths of the folders and files removed.
    QStringList removed;
    // What stays, in words ("fonts and plug-ins kept").
    QStringList kept;

    bool removedNothing() const { return removed.isEmpty(); }
    // One line for the customer: "Uninstalled NAME (what stays)" or "Nothing of NAME was found to remove (…)".
    QString summary(const QString &productName) const;
};

} // namespace klv

Q_DECLARE_METATYPE(klv::UninstallReport)
