#include "library/ProductButtonState.h"

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using Style = ProductButtonState::Style;

OutlineViewItem product(const QString &name, const QString &location, bool installed = false) {
    OutlineViewItem item;
    item.product_name = name;
    item.product_location = location;
    item.isInstalled = installed;
    return item;
}

ProductButtonState stateOf(const OutlineViewItem &record, double progress, bool installed,
                           const QList<OutlineViewItem> &library = {}) {
    return productButtonState(record, progress, installed, library);
}

TEST(ProductButtonState, ProductFollowsItsJobAndInstalledFlag) {
    const OutlineViewItem glow = product(u"Glow"_s, u"Titles"_s);
    const ProductButtonState install{u"Install"_s, Style::install, true, true};
    const ProductButtonState inQueue{u"In Queue"_s, Style::done, false, false};
    const ProductButtonState installing{u"Installing..."_s, Style::done, false, false};
    const ProductButtonState updating{u"Updating..."_s, Style::done, false, true};
    const ProductButtonState installed{u"Installed"_s, Style::done, false, true};

    EXPECT_EQ(stateOf(glow, -2, false), install);
    EXPECT_EQ(stateOf(glow, -2, true), installed);
    EXPECT_EQ(stateOf(glow, -1, false), inQueue);
    EXPECT_EQ(stateOf(glow, -1, true), inQueue);
    // Running but nothing received yet still reads as waiting.
    EXPECT_EQ(stateOf(glow, 0, false), inQueue);
    EXPECT_EQ(stateOf(glow, 0, true), inQueue);
    EXPECT_EQ(stateOf(glow, 0.5, false), installing);
    EXPECT_EQ(stateOf(glow, 0.5, true), updating);
    EXPECT_EQ(stateOf(glow, 1, false), install);
    EXPECT_EQ(stateOf(glow, 1, true), installed);
    // A progress below the queued value that is not "no job" is offered again.
    EXPECT_EQ(stateOf(glow, -1.5, false), install);
}

TEST(ProductButtonState, CompositeIsDownloadedRatherThanInstalled) {
    for (const QString &location : {u"Composite"_s, u"Titles, Composite"_s}) {
        const OutlineViewItem neon = product(u"Neon"_s, location);
        EXPECT_EQ(stateOf(neon, -2, false).title, u"Install"_s);
        EXPECT_TRUE(stateOf(neon, -2, false).enabled);
        EXPECT_EQ(stateOf(neon, -1, false).title, u"In Queue"_s);
        EXPECT_EQ(stateOf(neon, 0, false).title, u"Installing..."_s);
        EXPECT_EQ(stateOf(neon, 0.5, true).title, u"Installing..."_s);
        EXPECT_FALSE(stateOf(neon, 0.5, true).imageShown);
        const ProductButtonState downloaded = stateOf(neon, 1, true);
        EXPECT_EQ(downloaded, (ProductButtonState{u"Downloaded"_s, Style::done, false, true}));
        EXPECT_EQ(stateOf(neon, -2, true).title, u"Downloaded"_s);
    }
}

TEST(ProductButtonState, GroupCountsItsInstalledMembersByName) {
    OutlineViewItem bundle = product(u"Bundle"_s, u"Multiple"_s);
    bundle.children = {u"Vantory - Glow"_s, u"Neon"_s, u"Spark"_s};
    QList<OutlineViewItem> library = {bundle, product(u"Glow"_s, u"Titles"_s), product(u"Neon"_s, u"Effects"_s),
                                      product(u"Spark"_s, u"Effects"_s)};

    EXPECT_EQ(stateOf(bundle, -2, false, library), (ProductButtonState{u"Install All"_s, Style::install, true, true}));

    library[1].isInstalled = true;
    const ProductButtonState partly = stateOf(bundle, -2, false, library);
    EXPECT_EQ(partly, (ProductButtonState{u"Part Install"_s, Style::install, true, true}));
    // The group's own job does not change its title.
    EXPECT_EQ(stateOf(bundle, 0.5, false, library).title, u"Part Install"_s);

    library[2].isInstalled = true;
    library[3].isInstalled = true;
    EXPECT_EQ(stateOf(bundle, -2, false, library), (ProductButtonState{u"All Installed"_s, Style::done, false, true}));

    // A member without a record counts as not installed; a group record of the same name is not a member.
    bundle.children.append(u"Missing"_s);
    library.append(product(u"Missing"_s, u"Multiple"_s, true));
    EXPECT_EQ(stateOf(bundle, -2, false, library).title, u"Part Install"_s);
}

} // namespace
} // namespace klv
