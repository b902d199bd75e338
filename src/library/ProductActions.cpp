#include "library/ProductActions.h"

#include "core/ContainedRemoval.h"
#include "core/FolderCreation.h"
#include "core/SafeName.h"
#include "library/GroupMembers.h"
#include "library/InstallManifest.h"
#include "library/ProductLibrary.h"
#include "store/DesktopServices.h"
#include "store/HostAppCheck.h"
#include "store/JsonDecoding.h"
#include "store/LenientJson.h"
#include "store/Services.h"
#include "store/StoreClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

bool isCompositeLocation(const OutlineViewItem &record) {
    return record.product_location.contains(u"Composite"_s);
}

bool itemExists(const QString &path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The store's "data" when it is an array of objects only; anything else counts as no data.
QList<QJsonObject> objectList(const QJsonValue &value) {
    QList<QJsonObject> objects;
    for (const QJsonValue &element : value.toArray()) {
        if (!element.isObject())
            return {};
        objects.append(element.toObject());
    }
    return objects;
}

} // namespace

ProductActions::ProductActions(Services &services, ProductLibrary &library, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_library(library) {}

QStringList ProductActions::optionMenuItems(const OutlineViewItem &record, const QList<OutlineViewItem> &library) {
    return optionMenuItems(record, library,
                           record.isGroup() ? groupMemberIndexes(library, record) : QList<qsizetype>());
}

QStringList ProductActions::optionMenuItems(const OutlineViewItem &record, const QList<OutlineViewItem> &library,
                                            const QList<qsizetype> &members) {
    const bool composite = isCompositeLocation(record);
    QStringList items;
    if (record.isGroup()) {
        const auto any = [&](bool OutlineViewItem::*flag) {
            return std::any_of(members.cbegin(), members.cend(), [&](qsizetype at) { return library[at].*flag; });
        };
        if (!composite && any(&OutlineViewItem::isNeedUpdate))
            items << updateItem;
        items << learnMoreItem;
        if (any(&OutlineViewItem::isInstalled))
            items << uninstallItem;
    } else if (!composite) {
        if (record.isNeedUpdate)
            items << updateItem;
        items << learnMoreItem;
        if (record.isInstalled)
            items << uninstallItem;
    } else if (record.isInstalled) {
        items << viewInFinderItem << uninstallItem;
    }
    return items;
}

bool ProductActions::isHaveUpdate(const QStringList &menuItems) {
    return menuItems.contains(updateItem);
}

QList<OutlineViewItem> ProductActions::updatableProducts(const QList<OutlineViewItem> &library) {
    // What is installed, one product at a time: a bundle's update must not bring in members never installed.
    QList<OutlineViewItem> updatable;
    for (const OutlineViewItem &record : library) {
        if (!record.isGroup() && record.isInstalled && isHaveUpdate(optionMenuItems(record, library)))
            updatable.append(record);
    }
    return updatable;
}

QUrl ProductActions::learnMoreUrl(const OutlineViewItem &record) const {
    const QList<OutlineViewItem> &library = m_library.libraryProducts();
    const auto first = std::find_if(library.cbegin(), library.cend(), [&](const OutlineViewItem &candidate) {
        return candidate.product_id == record.product_id;
    });
    const QString postName = first != library.cend() ? first->post_name : QString();
    return QUrl(m_services.configuration().storeUrl + u"/product/"_s + postName);
}

void ProductActions::learnMore(const OutlineViewItem &record) {
    m_services.desktop().openUrl(learnMoreUrl(record));
}

void ProductActions::revealComposite(const OutlineViewItem &record) {
    if (staysInFolder(record.product_name))
        m_services.desktop().revealFolder(m_services.locations().compositeFolderURL + u'/' + record.product_name);
}

bool ProductActions::confirmInstall() const {
    return checkHostAppsClosed(m_services.reporter());
}

bool ProductActions::confirmUpdate() const {
    if (!checkHostAppsClosed(m_services.reporter()))
        return false;
    return m_services.reporter().showAlert(u"Are you sure you want to update?"_s,
                                           u"We recommend finishing any projects using the plugin prior to updating."_s,
                                           u"Update"_s, u"Cancel"_s) == 0;
}

bool ProductActions::confirmUninstall() const {
    return m_services.reporter().showAlert(
               u"Are you sure you want to uninstall?"_s,
               u"We recommend finishing any projects using the plugin prior to uninstalling."_s, u"Uninstall"_s,
               u"Cancel"_s) == 0;
}

void ProductActions::uninstall(const OutlineViewItem &record) {
    ++m_uninstallsRunning;
    // A copy: detection below rewrites the library's records.
    const QList<OutlineViewItem> products = m_library.libraryProducts();
    QHash<QString, qint64> nameMap;
    UninstallReport report;
    bool removesLooks = false;
    if (!record.isGroup()) {
        if (staysInFolder(record.product_name)) {
            if (isCompositeLocation(record)) {
                deleteComposite(record.product_name, report);
            } else {
                removeMotionTemplates(record.product_name, report);
                removesLooks = true;
            }
        }
        nameMap.insert(record.product_name, record.product_id);
    } else {
        for (const QString &member : record.children) {
            if (!staysInFolder(member))
                continue;
            // A member is a composite only when its record says so; one without the maker's name in its text
            // may still be a template pack, whose folders would otherwise survive the uninstall.
            const std::optional<qsizetype> found = findGroupMember(products, member);
            const bool isTemplatePack =
                member.contains(u"Vantory"_s) || (found && !isCompositeLocation(products[*found]));
            if (!isTemplatePack) {
                deleteComposite(member, report);
                nameMap.insert(member, 0);
                continue;
            }
            removeMotionTemplates(member, report);
            removesLooks = true;
            // Found like every other member look-up (without the maker's prefix), so that detection below
            // updates the member's row now rather than at the next full detection.
            if (found)
                nameMap.insert(products[*found].product_name, products[*found].product_id);
        }
    }
    if (removesLooks)
        report.kept << u"fonts and plug-ins kept"_s;
    for (auto name = nameMap.cbegin(); name != nameMap.cend(); ++name) {
        // Group members may carry the maker's prefix; their jobs, and so their manifests, never do.
        for (const QString &product : {name.key(), QString(name.key()).remove(u"Vantory - "_s)})
            removeRecordedItems(product, report);
    }
    if (const Error error = m_library.detectInstalledStates(nameMap))
        m_services.reporter().appendLog(u"The library could not be stored after uninstalling "_s + record.product_name +
                                        u": "_s + *error);
    m_library.applyLibraryFilter();
    // A group's members share the group's custom looks, so one request covers them all.
    if (removesLooks && staysInFolder(record.product_name))
        requestCustomLooksRemoval(record, std::move(report));
    else
        finishUninstall(record, report);
}

void ProductActions::finishUninstall(const OutlineViewItem &record, const UninstallReport &report) {
    --m_uninstallsRunning;
    Q_EMIT uninstallFinished(record, report);
}

void ProductActions::removeMotionTemplates(const QString &name, UninstallReport &report) const {
    const InstalledProducts &installed = m_library.installedProducts();
    for (const QString &folder : installed.findInstalledMotionTemplates(name, true)) {
        // A folder that could not be removed is logged, and not reported as removed.
        if (!itemExists(folder))
            report.removed << folder;
    }
    const QStringList bundles = installed.findInstalledResolveTemplates(name, false);
    if (bundles.isEmpty())
        return;
    installed.findInstalledResolveTemplates(name, true);
    for (const QString &bundle : bundles) {
        if (!itemExists(bundle))
            report.removed << bundle;
    }
}

void ProductActions::removeRecordedItems(const QString &product, UninstallReport &report) const {
    const Locations &locations = m_services.locations();
    const QString path = InstallManifest::pathFor(locations.vantoryFolderURL, product);
    const std::optional<InstallManifest> manifest = InstallManifest::read(path);
    if (!manifest)
        return;
    QStringList folders = locations.motionFolderByCategory.values();
    folders << locations.compositeFolderURL << locations.customLUTsFolderURL << locations.resolveTemplatesFolderURL;
    // Only an item directly inside one of those folders: a manifest is a file on disk, and anyone may edit it.
    const auto removable = [&folders](const QString &root) {
        const QFileInfo item(root);
        const QString name = item.fileName();
        return !name.isEmpty() && name != u"."_s && name != u".."_s &&
               std::any_of(folders.cbegin(), folders.cend(), [&](const QString &folder) {
                   return QDir::cleanPath(item.path()) == QDir::cleanPath(folder);
               });
    };
    bool left = false;
    for (const QString &root : manifest->roots) {
        if (!removable(root) || !itemExists(root))
            continue;
        if (const Error error = ContainedRemoval::removeTree(root)) {
            m_services.reporter().appendLog(u"KLVApp_Error: When remove item at: "_s + root + u" \n with Error;  "_s +
                                            *error);
            left = true;
        } else if (!report.removed.contains(root)) {
            report.removed << root;
        }
    }
    if (!left)
        QFile::remove(path);
}

bool ProductActions::staysInFolder(const QString &name) const {
    const Error unsafe = unsafePathComponentReason(name);
    if (unsafe)
        m_services.reporter().appendLog(*unsafe + u" Nothing is removed for it."_s);
    return !unsafe;
}

void ProductActions::deleteComposite(const QString &name, UninstallReport &report) const {
    // The folder unpacked from a zip, or the movie a composite may also be delivered as.
    const QString folder = m_services.locations().compositeFolderURL + u'/' + name;
    for (const QString &path : {folder, QString(folder + u".mov"_s)}) {
        if (!itemExists(path))
            continue;
        if (const Error error = ContainedRemoval::removeTree(path))
            m_services.reporter().appendLog(u"KLVApp_Error: When remove item at: "_s + path + u" \n with Error;  "_s +
                                            *error);
        else
            report.removed << path;
    }
}

void ProductActions::requestCustomLooksRemoval(const OutlineViewItem &record, UninstallReport report) {
    m_services.store().send(StoreEndpoint::product, u"appleCustomLut"_s, {QString::number(record.product_id)}, this,
                            [this, record, report](const StoreResponse &response) mutable {
                                removeCustomLooks(response, record, report);
                                finishUninstall(record, report);
                            });
}

void ProductActions::removeCustomLooks(const StoreResponse &response, const OutlineViewItem &record,
                                       UninstallReport &report) const {
    const Reporter &reporter = m_services.reporter();
    const QString number = QString::number(record.product_id);
    if (!response.hasBody) {
        reporter.appendLog(u"Error during get product branch info "_s + response.transportError);
        return;
    }
    if (response.body.isEmpty())
        return;
    const std::optional<QJsonObject> answer = decodeJSONObject(response.body, m_services.log());
    if (!answer) {
        reporter.appendLog(u"Failed to convert the data object result from "_s +
                           m_services.store().endpointAddress(StoreEndpoint::product));
        return;
    }
    const QJsonValue status = answer->value("status"_L1);
    if (!status.isBool() || !status.toBool()) {
        const QJsonValue message = answer->value("msg"_L1);
        reporter.appendLog(message.isString() ? message.toString()
                                              : u"Failed to get apple custom LUTs for product with ID: "_s + number);
        return;
    }
    const QList<QJsonObject> looks = objectList(answer->value("data"_L1));
    if (looks.isEmpty()) {
        reporter.appendLog(u"Wrong data type for product with ID: "_s + number);
        return;
    }
    const QString lutFolder = m_services.locations().customLUTsFolderURL;
    const QString path = lutFolder + u"KLV - "_s + record.product_name + u" LUTs"_s;
    for (const QJsonObject &look : looks) {
        if (json::textOr(look, "url"_L1).isEmpty())
            continue;
        if (const Error error = createFolderWithParents(lutFolder))
            reporter.showAlert(u"Alert"_s, u"Failed to create Apple Custom Lut folder : "_s + *error, u"OK"_s);
        if (!itemExists(path))
            continue;
        if (const Error error = ContainedRemoval::removeTree(path))
            reporter.appendLog(u"Error when remove item at: "_s + path + u" \n with Error;  "_s + *error);
        else
            report.removed << path;
    }
}

} // namespace klv
