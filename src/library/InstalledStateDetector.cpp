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
        }
    }

    QHash<std::pair<qint64, QString>, qsizetype> productByIdAndName;
    QHash<qint64, qsizetype> groupById;
    QHash<QString, qsizetype> compositeByName;
};

// Built only when a group is to be counted: a library without bundles needs no index of every name.
QHash<QString, qsizetype> memberIndex(const QList<OutlineViewItem> &library) {
    QHash<QString, qsizetype> memberByName;
    for (qsizetype i = 0; i < library.size(); ++i) {
        if (library[i].product_location != u"Multiple")
            keepFirst(memberByName, library[i].product_name, i);
    }
    return memberByName;
}

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
    const QSet<QString> updating = m_installed.unfinishedUpdates();
    const auto isUpdating = [&updating](const QString &name) {
        return !updating.isEmpty() && updating.contains(QString(name).remove(longPrefix));
    };
    // The folders are listed once for the whole run, so asking again for a group member costs a look-up, less
    // than remembering every name's answer would.
    const auto isMotionInstalled = [&](const QString &name) {
        return !isUnfinished(name) && m_installed.isMotionTemplateInstalled(name);
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
        // Read through constant access: a list shared with the cached one is copied only if a state really
        // changes, and in most refreshes none does.
        const OutlineViewItem &record = library.at(at);
        const bool installed = found || (record.mainApplicationType == u"DVR" && !isUnfinished(name) &&
                                         !m_installed.findInstalledResolveTemplates(name, false).isEmpty());
        if (record.parentID >= 1 && !groupsSeen.contains(record.parentID)) {
            groupsSeen.insert(record.parentID);
            groupsToRecount.append(record.parentID);
        }
        // What is not installed has nothing to update; an update killed part-way is still to do.
        const bool needsUpdate = installed && (record.isNeedUpdate || isUpdating(name));
        if (installed != record.isInstalled || needsUpdate != record.isNeedUpdate) {
            OutlineViewItem &changing = library[at];
            changing.isInstalled = installed;
            changing.isNeedUpdate = needsUpdate;
            changed = true;
        }
    }

    // A group's state depends only on the files of its members, so counting it once after all members is
    // the same as counting it after each one.
    const QHash<QString, qsizetype> memberByName =
        groupsToRecount.isEmpty() ? QHash<QString, qsizetype>() : memberIndex(library);
    for (const qint64 groupId : std::as_const(groupsToRecount)) {
        const qsizetype at = index.groupById.value(groupId, -1);
        if (at < 0)
            continue;
        const OutlineViewItem &group = library.at(at);
        qsizetype count = 0;
        for (const QString &memberName : group.children) {
            const qsizetype member = memberByName.value(QString(memberName).remove(longPrefix), -1);
            if (member < 0 || library.at(member).product_name.isEmpty())
                continue;
            const bool memberInstalled =
                library.at(member).product_id != 0 ? isMotionInstalled(memberName) : isCompositeInstalled(memberName);
            if (!memberInstalled)
                break;
            ++count;
        }
        const bool installed = count == group.children.size();
        if (installed != group.isInstalled) {
            library[at].isInstalled = installed;
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
        keepFirst(firstById, library.at(i).product_id, i);

    for (auto release = latestReleases.cbegin(); release != latestReleases.cend(); ++release) {
        const qsizetype at = firstById.value(release.key(), -1);
        // Most of a large library is not installed, which detection has just found: no folder is looked for and no
        // date read for those.
        if (at < 0 || !library.at(at).isInstalled ||
            !m_installed.isMotionTemplateInstalled(library.at(at).product_name))
            continue;
        const QDate day = QDate::fromString(release.value(), QStringLiteral("yyyy.MM.dd"));
        if (!day.isValid())
            continue;
        const QDateTime releaseStart = day.startOfDay();
        for (const QString &folder : m_installed.findInstalledMotionTemplates(library.at(at).product_name, false)) {
            const std::optional<QDateTime> created = m_creationDate(folder);
            if (created && releaseStart >= created->addSecs(-marginSeconds) && !library.at(at).isNeedUpdate)
                library[at].isNeedUpdate = true;
        }
    }
}

} // namespace klv
