#pragma once

#include "library/OutlineViewItem.h"
#include "library/UninstallReport.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace klv {

class ProductLibrary;
class Services;
struct StoreResponse;

// What the option menu of a library row offers and does, for the window and the command-line client alike:
// the items a record's state allows, Learn More, showing a composite, the confirmations before installing,
// updating and uninstalling, and the uninstall itself. Installing and updating go to the installation engine.
// Names from the store never lead outside their folder: an unsafe one removes nothing and is logged.
class ProductActions final : public QObject {
    Q_OBJECT
public:
    // Menu titles, four blanks included; actions compare the whole title.
    static inline const QString learnMoreItem = QStringLiteral("    Learn More");
    static inline const QString updateItem = QStringLiteral("    Update");
    static inline const QString viewInFinderItem = QStringLiteral("    View In Finder");
    static inline const QString uninstallItem = QStringLiteral("    Uninstall");

    ProductActions(Services &services, ProductLibrary &library, QObject *parent = nullptr);

    // The option menu of a record, in menu order; group members are found by the member look-up rule.
    static QStringList optionMenuItems(const OutlineViewItem &record, const QList<OutlineViewItem> &library);
    // The same with a group's members already found (groupMemberIndexes).
    static QStringList optionMenuItems(const OutlineViewItem &record, const QList<OutlineViewItem> &library,
                                       const QList<qsizetype> &memberIndexes);
    // Whether the option button shows its update badge (isHaveUpdate) for that menu.
    static bool isHaveUpdate(const QStringList &menuItems);
    // The top-level records whose menu offers Update, in library order.
    static QList<OutlineViewItem> updatableProducts(const QList<OutlineViewItem> &library);

    // The store's page of the product: its post_name from the first library record with the record's id.
    QUrl learnMoreUrl(const OutlineViewItem &record) const;
    void learnMore(const OutlineViewItem &record);
    void revealComposite(const OutlineViewItem &record);

    // False while Final Cut Pro or Motion runs (the guard has told the customer why).
    bool confirmInstall() const;
    // The same guard, then the update confirmation; true only for its "Update" button.
    bool confirmUpdate() const;
    // True only for the confirmation's "Uninstall" button.
    bool confirmUninstall() const;
    // Removes the record's Motion templates, DaVinci Resolve bundles and custom looks, or its composite, and
    // whatever else of those kinds its manifest says this app placed; for a group, those of its members.
    // Installed states are detected again and the library refiltered before it returns; fonts and plug-ins
    // stay. uninstallFinished follows once the store has said which
    // custom looks to remove, with the report of what was removed and what stays.
    void uninstall(const OutlineViewItem &record);
    // An uninstall started and not finished yet.
    bool isUninstalling() const { return m_uninstallsRunning > 0; }

Q_SIGNALS:
    void uninstallFinished(const klv::OutlineViewItem &record, const klv::UninstallReport &report);

private:
    bool staysInFolder(const QString &name) const;
    void deleteComposite(const QString &name, UninstallReport &report) const;
    void removeMotionTemplates(const QString &name, UninstallReport &report) const;
    // Removes what the product's manifest says this app placed in the template, composite, looks and Resolve
    // folders, whatever its names; the manifest goes only once nothing it names there is left.
    void removeRecordedItems(const QString &product, UninstallReport &report) const;
    void requestCustomLooksRemoval(const OutlineViewItem &record, UninstallReport report);
    void finishUninstall(const OutlineViewItem &record, const UninstallReport &report);
    void removeCustomLooks(const StoreResponse &response, const OutlineViewItem &record, UninstallReport &report) const;

    Services &m_services;
    ProductLibrary &m_library;
    int m_uninstallsRunning = 0;
};

} // namespace klv
