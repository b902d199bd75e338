#include "library/PlacementJournalNames.h"

#include <QDir>

namespace klv {

using namespace Qt::StringLiterals;

const QString PlacementJournalNames::suffix = u".journal"_s;
const QString PlacementJournalNames::keptSuffix = u".kept"_s;

QString PlacementJournalNames::pathFor(const QString &downloadFolder, const QString &productName, const QString &part) {
    return downloadFolder + productName + u'#' + part + suffix;
}

QString PlacementJournalNames::productOf(const QString &journalFileName) {
    return journalFileName.left(journalFileName.lastIndexOf(u'#'));
}

QSet<QString> PlacementJournalNames::unfinishedProducts(const QString &downloadFolder) {
    QSet<QString> products;
    for (const QString &name : QDir(downloadFolder).entryList({u'*' + suffix}, QDir::Files | QDir::Hidden))
        products.insert(productOf(name));
    return products;
}

} // namespace klv
