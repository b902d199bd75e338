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

using Phase = JobState::Phase;

ProductButtonState stateOf(const OutlineViewItem &record, JobState job, bool installed,
                           const QList<OutlineViewItem> &library = {}) {
    return productButtonState(record, job, installed, library);
}

constexpr JobState none{};
constexpr JobState finished{Phase::finished};

TEST(ProductButtonState, ProductFollowsItsRequestJobAndInstalledFlag) {
    const OutlineViewItem glow = product(u"Glow"_s, u"Titles"_s);
    const ProductButtonState install{u"Install"_s, Style::install, true, true};
    const ProductButtonState inQueue{u"In Queue"_s, Style::done, false, false};
    const ProductButtonState installing{u"Installing..."_s, Style::done, false, false};
    const ProductButtonState updating{u"Updating..."_s, Style::done, false, true};
    const ProductButtonState installed{u"Installed"_s, Style::done, false, true};

    EXPECT_EQ(stateOf(glow, none, false), install);
    EXPECT_EQ(stateOf(glow, none, true), installed);
    EXPECT_EQ(stateOf(glow, {Phase::waiting}, false), inQueue);
    EXPECT_EQ(stateOf(glow, {Phase::requested}, false), installing);
    EXPECT_EQ(stateOf(glow, {Phase::requested, true}, true),
              (ProductButtonState{u"Updating ..."_s, Style::done, false, false}));
    EXPECT_EQ(stateOf(glow, {Phase::queued}, false), inQueue);
    EXPECT_EQ(stateOf(glow, {Phase::queued, true}, true), inQueue);
    // The running job says so from its first step, before any byte arrived.
    EXPECT_EQ(stateOf(glow, {Phase::running}, false), installing);
    EXPECT_EQ(stateOf(glow, {Phase::running, true}, true), updating);
    EXPECT_EQ(stateOf(glow, finished, false), install);
    EXPECT_EQ(stateOf(glow, finished, true), installed);
}

TEST(ProductButtonState, CompositeIsDownloadedRatherThanInstalled) {
    for (const QString &location : {u"Composite"_s, u"Titles, Composite"_s}) {
        const OutlineViewItem neon = product(u"Neon"_s, location);
        EXPECT_EQ(stateOf(neon, none, false).title, u"Install"_s);
        EXPECT_TRUE(stateOf(neon, none, false).enabled);
        EXPECT_EQ(stateOf(neon, {Phase::queued}, false).title, u"In Queue"_s);
        EXPECT_EQ(stateOf(neon, {Phase::running}, false).title, u"Installing..."_s);
        EXPECT_EQ(stateOf(neon, {Phase::running}, true).title, u"Installing..."_s);
        EXPECT_FALSE(stateOf(neon, {Phase::running}, true).imageShown);
        const ProductButtonState downloaded = stateOf(neon, finished, true);
        EXPECT_EQ(downloaded, (ProductButtonState{u"Downloaded"_s, Style::done, false, true}));
        EXPECT_EQ(stateOf(neon, none, true).title, u"Downloaded"_s);
    }
}

TEST(ProductButtonState, GroupCountsItsInstalledMembersByName) {
    OutlineViewItem bundle = product(u"Bundle"_s, u"Multiple"_s);
    bundle.children = {u"Vantory - Glow"_s, u"Neon"_s, u"Spark"_s};
    QList<OutlineViewItem> library = {bundle, product(u"Glow"_s, u"Titles"_s), product(u"Neon"_s, u"Effects"_s),
                                      product(u"Spark"_s, u"Effects"_s)};

    EXPECT_EQ(stateOf(bundle, none, false, library),
              (ProductButtonState{u"Install All"_s, Style::install, true, true}));

    library[1].isInstalled = true;
    const ProductButtonState partly = stateOf(bundle, none, false, library);
    EXPECT_EQ(partly, (ProductButtonState{u"Part Install"_s, Style::install, true, true}));
    // The bundle's request shows until it turns into its members' jobs; those do not change its title.
    EXPECT_EQ(stateOf(bundle, {Phase::requested}, false, library).title, u"Installing..."_s);
    EXPECT_EQ(stateOf(bundle, {Phase::running}, false, library).title, u"Part Install"_s);

    library[2].isInstalled = true;
    library[3].isInstalled = true;
    EXPECT_EQ(stateOf(bundle, none, false, library),
              (ProductButtonState{u"All Installed"_s, Style::done, false, true}));

    // A member without a record counts as not installed; a group record of the same name is not a member.
    bundle.children.append(u"Missing"_s);
    library.append(product(u"Missing"_s, u"Multiple"_s, true));
    EXPECT_EQ(stateOf(bundle, none, false, library).title, u"Part Install"_s);
}

} // namespace
} // namespace klv
