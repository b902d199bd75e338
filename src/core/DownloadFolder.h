#pragma once

#include <QFileInfoList>
#include <QSet>
#include <QString>

namespace klv {

// Every name the app gives to what it keeps in its download folder, and the one rule that reads the product back
// from a file's name. A product's name may hold '#', a part's never does: the part follows the last '#'.
//   "<product>"                   what a job unpacks before it is placed
//   "<name>.zip"                  a package kept whole while it installs
//   "<product>#<part>.partial"    a package downloading, with "….partial.json" beside it, what validates it
//   "<product>#<part>.journal"    an unfinished placement, "….kept" once the new version stands
//   ".<product>/" beside it       the looks a job downloads before placing them
class DownloadFolder final {
public:
    // The folder's path ends with '/', as every folder of Locations does.
    explicit DownloadFolder(QString path);

    const QString &path() const { return m_path; }

    QString jobFolder(const QString &product) const;
    QString packageFile(const QString &name) const;
    QString partialFile(const QString &product, const QString &part) const;
    static QString noteOf(const QString &partialPath);
    QString journalFile(const QString &product, const QString &part) const;
    static QString keptJournalOf(const QString &journalPath);
    static bool isKeptJournal(const QString &fileName);
    QString looksFolder(const QString &product) const;

    static QString productOf(const QString &fileName);

    // The partials, or the partials and their notes, of every product, by name.
    QFileInfoList partials() const;
    QFileInfoList partialsAndNotes() const;
    // The journals, kept ones too, by name.
    QStringList journals() const;
    // The products whose placement has not reached the point where their new version stands.
    QSet<QString> unfinishedProducts() const;

private:
    QString m_path;
};

} // namespace klv
