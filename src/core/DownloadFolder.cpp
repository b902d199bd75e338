#include "core/DownloadFolder.h"

#include <QDir>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

const QString partialSuffix = u".partial"_s;
const QString noteSuffix = u".json"_s;
const QString journalSuffix = u".journal"_s;
const QString keptSuffix = u".kept"_s;

QString partName(const QString &product, const QString &part) {
    return product + u'#' + part;
}

} // namespace

DownloadFolder::DownloadFolder(QString path)
    : m_path(std::move(path)) {}

QString DownloadFolder::jobFolder(const QString &product) const {
    return m_path + product;
}

QString DownloadFolder::packageFile(const QString &name) const {
    return m_path + name + u".zip"_s;
}

QString DownloadFolder::partialFile(const QString &product, const QString &part) const {
    return m_path + partName(product, part) + partialSuffix;
}

QString DownloadFolder::noteOf(const QString &partialPath) {
    return partialPath + noteSuffix;
}

QString DownloadFolder::journalFile(const QString &product, const QString &part) const {
    return m_path + partName(product, part) + journalSuffix;
}

QString DownloadFolder::keptJournalOf(const QString &journalPath) {
    return QString(journalPath).chopped(journalSuffix.size()) + keptSuffix;
}

bool DownloadFolder::isKeptJournal(const QString &fileName) {
    return fileName.endsWith(keptSuffix);
}

QString DownloadFolder::looksFolder(const QString &product) const {
    return (m_path.endsWith(u'/') ? m_path.chopped(1) : m_path) + u'.' + product + u'/';
}

QString DownloadFolder::productOf(const QString &fileName) {
    return fileName.left(fileName.lastIndexOf(u'#'));
}

QFileInfoList DownloadFolder::partials() const {
    return QDir(m_path).entryInfoList({u"*#*"_s + partialSuffix}, QDir::Files | QDir::Hidden, QDir::Name);
}

QFileInfoList DownloadFolder::partialsAndNotes() const {
    return QDir(m_path).entryInfoList({u"*#*"_s + partialSuffix, u"*#*"_s + partialSuffix + noteSuffix},
                                      QDir::Files | QDir::Hidden, QDir::Name);
}

QStringList DownloadFolder::journals() const {
    return QDir(m_path).entryList({u"*#*"_s + journalSuffix, u"*#*"_s + keptSuffix}, QDir::Files | QDir::Hidden,
                                  QDir::Name);
}

QSet<QString> DownloadFolder::unfinishedProducts() const {
    QSet<QString> products;
    for (const QString &name : QDir(m_path).entryList({u"*#*"_s + journalSuffix}, QDir::Files | QDir::Hidden))
        products.insert(productOf(name));
    return products;
}

} // namespace klv
