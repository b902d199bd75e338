#pragma once

#include <QSet>
#include <QString>

namespace klv {

// How the journals of unfinished placements are named in the download folder ("<product>#<part>.journal", or
// "….kept" once the new version stands), so that detection can tell a product being placed, or left half-placed
// by a crash, from an installed one.
struct PlacementJournalNames {
    static const QString suffix;
    static const QString keptSuffix;

    static QString pathFor(const QString &downloadFolder, const QString &productName, const QString &part);
    static QString productOf(const QString &journalFileName);
    // The products whose placement has not reached the point where their new version stands.
    static QSet<QString> unfinishedProducts(const QString &downloadFolder);
};

} // namespace klv
