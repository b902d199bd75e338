#include "library/ProductActions.h"

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

OutlineViewItem record(const QString &name, const QString &location, bool installed = false, bool needsUpdate = false) {
    OutlineViewItem item;
    item.product_name = name;
    item.product_location = location;
    item.isInstalled = installed;
    item.isNeedUpdate = needsUpdate;
    return item;
}

OutlineViewItem group(const QString &location, const QStringList &children) {
    OutlineViewItem item = record(u"Bundle"_s, location);
    item.children = children;
    return item;
}

const QString &update = ProductActions::updateItem;
const QString &learnMore = ProductActions::learnMoreItem;
const QString &viewInFinder = ProductActions::viewInFinderItem;
const QString &uninstall = ProductActions::uninstallItem;

TEST(ProductActionsMenu, ProductsOfferWhatTheirStateAllows) {
    const std::pair<OutlineViewItem, QStringList> cases[] = {
        {record(u"Glow"_s, u"Titles"_s), {learnMore}},
        {record(u"Glow"_s, u"Titles"_s, true), {learnMore, uninstall}},
        {record(u"Glow"_s, u"Titles"_s, true, true), {update, learnMore, uninstall}},
        // Update detection may flag a product that is no longer installed.
        {record(u"Glow"_s, u"Effects, Titles"_s, false, true), {update, learnMore}},
        {record(u"Neon"_s, u"Composite"_s), {}},
        {record(u"Neon"_s, u"Composite"_s, false, true), {}},
        {record(u"Neon"_s, u"Composite"_s, true, true), {viewInFinder, uninstall}},
        {record(u"Neon"_s, u"Titles, Composite"_s, true), {viewInFinder, uninstall}},
    };
    for (const auto &[item, items] : cases) {
        const QStringList menu = ProductActions::optionMenuItems(item, {});
        EXPECT_EQ(menu, items) << item.product_location.toStdString();
        EXPECT_EQ(ProductActions::isHaveUpdate(menu), items.contains(update));
    }
}

TEST(ProductActionsMenu, GroupsLookAtTheMembersTheLookUpRuleFinds) {
    const QList<OutlineViewItem> library{
        // A group record of the same name never stands in for a member.
        record(u"Glow"_s, u"Multiple"_s, true, true),
        record(u"Glow"_s, u"Titles"_s),
        record(u"Haze"_s, u"Transitions"_s, true),
        record(u"Dust"_s, u"Effects"_s, false, true),
    };
    const std::pair<OutlineViewItem, QStringList> cases[] = {
        // One member installed, one not owned (no record).
        {group(u"Multiple"_s, {u"Vantory - Haze"_s, u"Vantory - Owned Elsewhere"_s}), {learnMore, uninstall}},
        {group(u"Multiple"_s, {u"Vantory - Glow"_s}), {learnMore}},
        {group(u"Multiple"_s, {u"Glow"_s, u"Dust"_s, u"Haze"_s}), {update, learnMore, uninstall}},
        // A composite group is never updated.
        {group(u"Composite"_s, {u"Dust"_s}), {learnMore}},
        {group(u"Multiple"_s, {u"Owned Elsewhere"_s}), {learnMore}},
    };
    for (const auto &[item, items] : cases)
        EXPECT_EQ(ProductActions::optionMenuItems(item, library), items) << item.children.join(u',').toStdString();
}

} // namespace
} // namespace klv
