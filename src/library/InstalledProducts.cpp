#include "library/InstalledProducts.h"

#include "library/UnfinishedUpdate.h"

#include "core/ContainedRemoval.h"
#include "core/Locations.h"
#include "core/SafeName.h"
#include "store/Reporter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <fcntl.h>
#include <unistd.h>

namespace klv {

namespace {

const QString longPrefix = QStringLiteral("Vantory - ");
const QString shortPrefix = QStringLiteral("KLV - ");

// Existence without following a final symbolic link, like the file manager's check.
bool itemExists(const QByteArray &path) {
    return ::faccessat(AT_FDCWD, path.constData(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
}

bool itemExists(const QString &path) {
    return itemExists(QFile::encodeName(path));
}

QString motionBaseName(const QString &name) {
    QString base = name;
    base.remove(longPrefix);
    if (base.contains(u"Full"))
        base.remove(QStringLiteral(" - Full Version"));
    return base;
}

} // namespace

InstalledProducts::InstalledProducts(const Locations &locations, const Reporter &reporter)
    : m_locations(locations)
    , m_reporter(reporter) {
    for (const QString &folder : {locations.motionEffectsFolderURL, locations.motionGeneratorsFolderURL,
                                  locations.motionTitlesFolderURL, locations.motionTransitionsFolderURL})
        m_categoryFolders.append(QFile::encodeName(folder));
    m_compositeFolder = QFile::encodeName(locations.compositeFolderURL) + '/';
}

InstalledProducts::ListingScope::ListingScope(const InstalledProducts &installed)
    : m_installed(installed)
    , m_outer(installed.m_listing)
    , m_listing(installed.m_categoryFolders + QList<QByteArray>{installed.m_compositeFolder}) {
    installed.m_listing = &m_listing;
}

InstalledProducts::ListingScope::~ListingScope() {
    m_installed.m_listing = m_outer;
}

bool InstalledProducts::exists(const QByteArray &folder, const QByteArray &name) const {
    if (m_listing) {
        if (const std::optional<bool> listed = m_listing->contains(folder, name))
            return *listed;
    }
    return itemExists(folder + name);
}

QStringList InstalledProducts::motionTemplateCandidates(const QString &name) const {
    if (!isSafePathComponent(name))
        return {};
    const QString base = motionBaseName(name);
    QStringList candidates;
    for (const QString &prefix : {shortPrefix, longPrefix}) {
        const QByteArray folderName = (prefix + base).toUtf8();
        for (const QByteArray &category : m_categoryFolders)
            candidates.append(QFile::decodeName(category + folderName));
    }
    return candidates;
}

QStringList InstalledProducts::findInstalledMotionTemplates(const QString &name, bool remove) const {
    QStringList found;
    for (const QString &candidate : motionTemplateCandidates(name)) {
        if (!itemExists(candidate))
            continue;
        found.append(candidate);
        if (!remove)
            continue;
        if (const Error error = ContainedRemoval::removeTree(candidate))
            m_reporter.appendLog(u"KLVApp_Error: When remove item at: " + candidate + u" \n with Error;  " + *error);
    }
    return found;
}

bool InstalledProducts::isMotionTemplateInstalled(const QString &name) const {
    // The hot path of detection: encoded paths built once, no list.
    if (!isSafePathComponent(name))
        return false;
    const QString base = motionBaseName(name);
    for (const QString &prefix : {shortPrefix, longPrefix}) {
        const QByteArray folderName = (prefix + base).toUtf8();
        for (const QByteArray &category : m_categoryFolders) {
            if (exists(category, folderName))
                return true;
        }
    }
    return false;
}

QSet<QString> InstalledProducts::unfinishedProducts() const {
    return m_locations.downloads().unfinishedProducts();
}

QSet<QString> InstalledProducts::unfinishedUpdates() const {
    return UnfinishedUpdate::products(m_locations.vantoryFolderURL);
}

bool InstalledProducts::isCompositeInstalled(const QString &name) const {
    // A composite is a folder unpacked from its zip, or the movie it was delivered as.
    if (!isSafePathComponent(name))
        return false;
    const QByteArray encoded = QFile::encodeName(name);
    return exists(m_compositeFolder, encoded) || exists(m_compositeFolder, encoded + ".mov");
}

QStringList InstalledProducts::installedItems(const QString &name) const {
    QStringList items = findInstalledMotionTemplates(name, false) + findInstalledResolveTemplates(name, false);
    if (isSafePathComponent(name)) {
        const QByteArray composite = m_compositeFolder + name.toUtf8();
        for (const QByteArray &path : {composite, QByteArray(composite + ".mov")}) {
            if (itemExists(path))
                items.append(QString::fromUtf8(path));
        }
    }
    return items;
}

QStringList InstalledProducts::findInstalledResolveTemplates(const QString &name, bool remove) const {
    static const std::array<QString, 9> shortSuffixes{QStringLiteral(" 1"), QStringLiteral(" 2"), QStringLiteral(" 3"),
                                                      QStringLiteral(" 4"), QStringLiteral(" 5"), QStringLiteral(" 6"),
                                                      QStringLiteral(" 7"), QStringLiteral(" 8"), QStringLiteral(" 9")};

    if (!isSafePathComponent(name))
        return {};
    QString renamed = name;
    if (name.contains(u"DVR"))
        renamed.remove(QStringLiteral("DVR"));
    if (const qsizetype lastBlank = name.lastIndexOf(u' '); lastBlank >= 0) {
        const QString suffix = name.mid(lastBlank);
        for (qsizetype i = 0; i < qsizetype(shortSuffixes.size()); ++i) {
            if (suffix == shortSuffixes[size_t(i)]) {
                renamed.replace(suffix, QStringLiteral(" 0") + QString::number(i + 1));
                break;
            }
        }
    }
    const QString folder = m_locations.resolveTemplatesFolderURL;
    const QString first = folder + shortPrefix + renamed + u".drfx";
    const QString second = folder + shortPrefix + name + u".drfx";

    if (remove) {
        for (const QString &path : {second, first}) {
            QFile file(path);
            if (itemExists(path) && !file.remove())
                m_reporter.appendLog(u"KLV App: Error when remove item at: " + path + u" \n with Error;  " +
                                     file.errorString());
        }
    }
    QStringList found;
    for (const QString &path : {first, second}) {
        if (itemExists(path))
            found.append(path);
    }
    return found;
}

} // namespace klv
