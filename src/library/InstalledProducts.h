#pragma once

#include "library/FolderListing.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace klv {

class Locations;
class Reporter;

// Finds a product's installed files by name in the host applications' folders, and removes them on request.
class InstalledProducts final {
public:
    InstalledProducts(const Locations &locations, const Reporter &reporter);

    // The product's Motion template folders, "KLV - " names before "Vantory - " ones, each category in turn.
    QStringList findInstalledMotionTemplates(const QString &name, bool remove) const;
    // The product's DaVinci Resolve bundle files.
    QStringList findInstalledResolveTemplates(const QString &name, bool remove) const;
    bool isMotionTemplateInstalled(const QString &name) const;
    // Installed as a folder of that name, or as "<name>.mov".
    bool isCompositeInstalled(const QString &name) const;
    // Everything of the product that stands today: template folders, Resolve bundles, the composite.
    QStringList installedItems(const QString &name) const;
    // Products whose placement is under way or was cut short: whatever of them stands is not an installation.
    QSet<QString> unfinishedProducts() const;
    // The products whose last update did not place every part (see UnfinishedUpdate).
    QSet<QString> unfinishedUpdates() const;

    // While one stands, the checks of the Motion and composite folders answer from one listing of each, taken when
    // it began: for a detection pass over the whole library, which changes nothing on disk.
    class ListingScope final {
    public:
        explicit ListingScope(const InstalledProducts &installed);
        ~ListingScope();
        ListingScope(const ListingScope &) = delete;
        ListingScope &operator=(const ListingScope &) = delete;

    private:
        const InstalledProducts &m_installed;
        const FolderListing *m_outer;
        FolderListing m_listing;
    };

private:
    QStringList motionTemplateCandidates(const QString &name) const;
    // Whether the name stands in the folder (an encoded path ending in '/').
    bool exists(const QByteArray &folder, const QByteArray &name) const;

    const Locations &m_locations;
    const Reporter &m_reporter;
    QList<QByteArray> m_categoryFolders;
    QByteArray m_compositeFolder;
    mutable const FolderListing *m_listing = nullptr;
};

} // namespace klv
