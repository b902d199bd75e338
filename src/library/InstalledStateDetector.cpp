#include "library/InstalledStateDetector.h"

#include <QSet>

namespace klv {

namespace {

template <typename Key> void keepFirst(QHash<Key, qsizetype> &index, const Key &key, qsizetype position) {
    if (!index.contains(key))
        index.insert(key, position);
}

const QString longPrefix = QStringLiteral("Vantory - ");

// First-record indexes over one library, so each look-up is a hash probe instead of a scan.
struct LibraryIndex {
    explicit LibraryIndex(const QList<OutlineViewItem> &library) {
        for (qsizetype i = 0; i < library.size(); ++i) {
            const OutlineViewItem &record = library[i];
            if (record.children.isEmpty())
                keepFirst(productByIdAndName, std::pair(record.product_id, record.product_name), i);
            else
                keepFirst(groupById, record.product_id, i);
            if (record.product_location == u"Composite")
                keepFirst(compositeByName, record.product_name, i);
            if (record.product_location != u"Multiple")
                keepFirst(memberByName, record.product_name, i);
        }
    }

    QHash<std::pair<qint64, QString>, qsizetype> productByIdAndName;
    QHash<qint64, qsizetype> groupById;
    QHash<QString, qsizetype> compositeByName;
    QHash<QString, qsizetype> memberByName;
};

} // namespace

QHash<QString, qint64> productNameMap(const QList<OutlineViewItem> &products) {
    QHash<QString, qint64> names;
    names.reserve(products.size());
    for (const OutlineViewItem &product : products)
        names.insert(product.product_name, product.product_id);
    return names;
}

InstalledStateDetector::InstalledStateDetector(const InstalledProducts &installed, CreationDateReader creationDate)
    : m_installed(installed)
    , m_creationDate(std::move(creationDate)) {}

bool InstalledStateDetector::detectInstalledStates(QList<OutlineViewItem> &library,
                                                   const QHash<QString, qint64> &nameMap) const {
    const LibraryIndex index(library);
    const InstalledProducts::ListingScope listing(m_installed);
    const QSet<QString> unfinished = m_installed.unfinishedProducts();
    const auto isUnfinished = [&unfinished](const QString &name) {
        return !unfinished.isEmpty() && unfinished.contains(QString(name).remove(longPrefix));
    };
    // A name's Motion folders are looked for once per run, whether for the product or as a group member.
    QHash<QString, bool> motionInstalled;
    const auto isMotionInstalled = [&](const QString &name) {
        auto it = motionInstalled.constFind(name);
        if (it == motionInstalled.cend())
            it = motionInstalled.insert(name, !isUnfinished(name) && m_installed.isMotionTemplateInstalled(name));
        return it.value();
    };
    const auto isCompositeInstalled = [&](const QString &name) {
        return !isUnfinished(name) && m_installed.isCompositeInstalled(name);
    };

    bool changed = false;
    QList<qint64> groupsToRecount;
    QSet<qint64> groupsSeen;
    for (auto entry = nameMap.cbegin(); entry != nameMap.cend(); ++entry) {
        const QString &name = entry.key();
        const qint64 number = entry.value();
        bool found = false;
        qsizetype at = -1;
        if (number == 0) {
            at = index.compositeByName.value(name, -1);
            found = at >= 0 && isCompositeInstalled(name);
        } else {
            at = index.productByIdAndName.value({number, name}, -1);
            found = at >= 0 && isMotionInstalled(name);
        }
        if (at < 0)
            continue;
        OutlineViewItem &record = library[at];
        const bool installed = found || (record.mainApplicationType == u"DVR" && !isUnfinished(name) &&
                                         !m_installed.findInstalledResolveTemplates(name, false).isEmpty());
        if (installed != record.isInstalled) {
            record.isInstalled = installed;
            changed = true;
        }
        // What is not installed has nothing to update.
        if (!installed && record.isNeedUpdate) {
            record.isNeedUpdate = false;
            changed = true;
        }
        if (record.parentID >= 1 && !groupsSeen.contains(record.parentID)) {
            groupsSeen.insert(record.parentID);
            groupsToRecount.append(record.parentID);
        }
    }

    // A group's state depends only on the files of its members, so counting it once after all members is
    // the same as counting it after each one.
    for (const qint64 groupId : std::as_const(groupsToRecount)) {
        const qsizetype at = index.groupById.value(groupId, -1);
        if (at < 0)
            continue;
        OutlineViewItem &group = library[at];
        qsizetype count = 0;
        for (const QString &memberName : std::as_const(group.children)) {
            const qsizetype member = index.memberByName.value(QString(memberName).remove(longPrefix), -1);
            if (member < 0 || library[member].product_name.isEmpty())
                continue;
            const bool memberInstalled =
                library[member].product_id != 0 ? isMotionInstalled(memberName) : isCompositeInstalled(memberName);
            if (!memberInstalled)
                break;
            ++count;
        }
        const bool installed = count == group.children.size();
        if (installed != group.isInstalled) {
            group.isInstalled = installed;
            changed = true;
        }
    }
    return changed;
}

void InstalledStateDetector::checkNeedUpdate(QList<OutlineViewItem> &library,
                                             const QHash<qint64, QString> &latestReleases) const {
    constexpr qint64 marginSeconds = 20 * 3600;
    const InstalledProducts::ListingScope listing(m_installed);
    QHash<qint64, qsizetype> firstById;
    for (qsizetype i = 0; i < library.size(); ++i)
        keepFirst(firstById, library[i].product_id, i);

    for (auto release = latestReleases.cbegin(); release != latestReleases.cend(); ++release) {
        const QDate day = QDate::fromString(release.value(), QStringLiteral("yyyy.MM.dd"));
        const qsizetype at = firstById.value(release.key(), -1);
        if (!day.isValid() || at < 0)
            continue;
        const QDateTime releaseStart = day.startOfDay();
        OutlineViewItem &record = library[at];
        // Most of a large library is not installed; the listing says so without building the folder paths.
        if (!m_installed.isMotionTemplateInstalled(record.product_name))
            continue;
        for (const QString &folder : m_installed.findInstalledMotionTemplates(record.product_name, false)) {
            const std::optional<QDateTime> created = m_creationDate(folder);
            if (created && releaseStart >= created->addSecs(-marginSeconds))
                record.isNeedUpdate = true;
        }
    }
}

} // namespace klv
