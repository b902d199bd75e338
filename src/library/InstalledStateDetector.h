#pragma once

#include "library/FileCreationDate.h"
#include "library/InstalledProducts.h"
#include "library/OutlineViewItem.h"

#include <QHash>
#include <QList>

namespace klv {

// Decides from the file system which library products are installed and which need an update.
class InstalledStateDetector final {
public:
    InstalledStateDetector(const InstalledProducts &installed, CreationDateReader creationDate = fileCreationDate);

    // Updates isInstalled of the records named in the map (product name to product number) and of their
    // groups; a record no longer installed loses its update mark. True when any record changed.
    bool detectInstalledStates(QList<OutlineViewItem> &library, const QHash<QString, qint64> &nameMap) const;
    // Flags every installed product (as detected) whose Motion folder is older than its release date (text
    // "yyyy.MM.dd", per product number) by more than the 20-hour margin. Never clears a flag.
    void checkNeedUpdate(QList<OutlineViewItem> &library, const QHash<qint64, QString> &latestReleases) const;

private:
    const InstalledProducts &m_installed;
    CreationDateReader m_creationDate;
};

// Product name to product number over the whole list; a later record with the same name wins.
QHash<QString, qint64> productNameMap(const QList<OutlineViewItem> &products);

} // namespace klv
