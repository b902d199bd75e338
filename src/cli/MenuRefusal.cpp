#include "cli/MenuRefusal.h"
#include "cli/ShellWord.h"

#include "library/ProductActions.h"

namespace klv::cli {

using namespace Qt::StringLiterals;

namespace {

bool offers(const OutlineViewItem &record, const QList<OutlineViewItem> &library, const QString &item) {
    return ProductActions::optionMenuItems(record, library).contains(item);
}

bool isComposite(const OutlineViewItem &record) {
    return record.product_location.contains(u"Composite"_s);
}

// A group is partly installed when its Uninstall item is offered, which the group's own flag does not say.
bool anythingInstalled(const OutlineViewItem &record, const QList<OutlineViewItem> &library) {
    return record.isInstalled || offers(record, library, ProductActions::uninstallItem);
}

QString quoted(const OutlineViewItem &record) {
    return u'"' + record.product_name + u'"';
}

} // namespace

Error updateRefusal(const OutlineViewItem &record, const QList<OutlineViewItem> &library) {
    if (offers(record, library, ProductActions::updateItem))
        return std::nullopt;
    if (isComposite(record))
        return quoted(record) + u" is a composite; composites are not updated, only installed and uninstalled."_s;
    if (!anythingInstalled(record, library))
        return quoted(record) + u" is not installed; install it with: klv install "_s + shellWord(record.product_name);
    return quoted(record) + u" has no update."_s;
}

Error uninstallRefusal(const OutlineViewItem &record, const QList<OutlineViewItem> &library) {
    if (offers(record, library, ProductActions::uninstallItem))
        return std::nullopt;
    return quoted(record) + u" is not installed; there is nothing to uninstall."_s;
}

Error learnMoreRefusal(const OutlineViewItem &record, const QList<OutlineViewItem> &library) {
    if (offers(record, library, ProductActions::learnMoreItem))
        return std::nullopt;
    return quoted(record) + u" is a composite; it has no product page."_s;
}

Error viewInFinderRefusal(const OutlineViewItem &record, const QList<OutlineViewItem> &library) {
    if (offers(record, library, ProductActions::viewInFinderItem))
        return std::nullopt;
    if (!isComposite(record))
        return quoted(record) + u" is not a composite; only an installed composite has a folder to show."_s;
    return quoted(record) + u" is not installed; there is no folder to show."_s;
}

} // namespace klv::cli
