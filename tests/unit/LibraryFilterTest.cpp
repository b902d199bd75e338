#include "library/LibraryFilter.h"
#include "library/LibraryRow.h"
#include "library/ProductCache.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

OutlineViewItem product(qint64 id, const QString &name, bool installed = false, qint64 parent = 0) {
    OutlineViewItem item;
    item.product_id = id;
    item.product_name = name;
    item.isInstalled = installed;
    item.parentID = parent;
    item.product_location = u"Titles"_s;
    return item;
}

QStringList names(const ShownProducts &rows) {
    QStringList result;
    for (const OutlineViewItem &row : rows)
        result << row.product_name;
    return result;
}

QStringList sortedNames(const ShownProducts &rows) {
    QStringList result = names(rows);
    result.sort();
    return result;
}

TEST(LibraryFilter, StateAndTopLevelFilters) {
    QList<OutlineViewItem> library{product(1, u"A"_s, true), product(2, u"B"_s), product(3, u"Member"_s, true, 9)};
    library[1].isNeedUpdate = true;
    LibraryViewSettings view;
    EXPECT_EQ(names(filterLibrary(view, library, {})), (QStringList{u"A"_s, u"B"_s}));
    view.filterMyProductState = productFilterState::installedProduct;
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"A"_s});
    view.filterMyProductState = productFilterState::notInstalledProduct;
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"B"_s});
    view.filterMyProductState = productFilterState::needUpdateProduct;
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"B"_s});
    library[1].isNeedUpdate = false;
    EXPECT_TRUE(filterLibrary(view, library, {}).isEmpty());

    // An empty library shows the cached list, unfiltered by state, members still excluded.
    view.filterMyProductState = productFilterState::installedProduct;
    EXPECT_EQ(names(filterLibrary(view, {}, library)), (QStringList{u"A"_s, u"B"_s}));
}

TEST(LibraryFilter, AnEmptyViewSaysWhetherTheSearchOrTheFilterHidesTheRows) {
    const QList<OutlineViewItem> library{product(1, u"Big Titles"_s, true), product(2, u"Small Looks"_s)};
    LibraryViewSettings view;
    EXPECT_EQ(whyNothingIsShown(view, {}, {}), EmptyViewReason::noLibrary);
    view.searchString = u"huge"_s;
    EXPECT_EQ(whyNothingIsShown(view, library, {}), EmptyViewReason::noMatch);
    // "big" matches an installed product that the not-installed filter hides: the filter is the reason.
    view.searchString = u"big"_s;
    view.filterMyProductState = productFilterState::notInstalledProduct;
    ASSERT_TRUE(filterLibrary(view, library, {}).isEmpty());
    EXPECT_EQ(whyNothingIsShown(view, library, {}), EmptyViewReason::hiddenByFilter);
    view.searchString.clear();
    view.filterMyProductState = productFilterState::needUpdateProduct;
    EXPECT_EQ(whyNothingIsShown(view, library, {}), EmptyViewReason::hiddenByFilter);
}

TEST(LibraryFilter, SearchTermsAreOredWithTheDoubleBlankRule) {
    OutlineViewItem bundle = product(10, u"Creator Bundle"_s);
    bundle.children = {u"Vantory - Glow Titles"_s};
    const QList<OutlineViewItem> library{product(1, u"Glow FX"_s),
                                         product(2, u"Title Pack"_s),
                                         product(3, u"Fab Looks"_s),
                                         bundle,
                                         product(11, u"Glow Titles"_s, false, 10),
                                         product(4, u"ÉCLAIR Motion"_s),
                                         product(5, u"a  b"_s)};
    LibraryViewSettings view;
    view.searchString = u"glow,TITLE"_s;
    EXPECT_EQ(sortedNames(filterLibrary(view, library, {})),
              (QStringList{u"Creator Bundle"_s, u"Glow FX"_s, u"Title Pack"_s}));
    view.searchString = u"q, b"_s;
    EXPECT_EQ(sortedNames(filterLibrary(view, library, {})), (QStringList{u"Creator Bundle"_s, u"a  b"_s}))
        << "the second term is \" b\": \"Fab Looks\" has no blank before its b";
    view.searchString = u","_s;
    EXPECT_TRUE(filterLibrary(view, library, {}).isEmpty());
    view.searchString = u"éclair"_s;
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"ÉCLAIR Motion"_s});
    view.searchString = u"a   b"_s;
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"a  b"_s}) << "three blanks become two";
    view.searchString = u"a  b"_s;
    EXPECT_TRUE(filterLibrary(view, library, {}).isEmpty()) << "two blanks become one";
}

TEST(LibraryFilter, SortIsStableByCodePointsOfComposedNames) {
    const QString composed = u"\u00e9t\u00e9"_s;
    const QString decomposed = u"e\u0301t\u00e9 2"_s;
    QList<OutlineViewItem> library{product(1, u"apple"_s),   product(2, u"Zebra"_s), product(3, u"apple"_s),
                                   product(4, decomposed),   product(5, composed),   product(6, u"\U0001F600 smile"_s),
                                   product(7, u"\uf8ff x"_s)};
    LibraryViewSettings view;
    view.sortProductState = productSortState::aToZSort;
    const ShownProducts sorted = filterLibrary(view, library, {});
    EXPECT_EQ(names(sorted), (QStringList{u"Zebra"_s, u"apple"_s, u"apple"_s, composed, decomposed, u"\uf8ff x"_s,
                                          u"\U0001F600 smile"_s}));
    EXPECT_EQ(sorted[1].product_id, 1) << "equal names keep the library order";
    EXPECT_EQ(sorted[2].product_id, 3);
    view.sortProductState = productSortState::zToASort;
    EXPECT_EQ(filterLibrary(view, library, {}).first().product_name, u"\U0001F600 smile");
}

TEST(LibraryFilter, ShownRowsShareTheRecordsAndKeepThemAsTheyWere) {
    QList<OutlineViewItem> library{product(1, u"B"_s), product(2, u"A"_s), product(3, u"C"_s, false, 1)};
    LibraryViewSettings view;
    view.sortProductState = productSortState::aToZSort;
    const ShownProducts shown = filterLibrary(view, library, {});
    EXPECT_EQ(names(shown), (QStringList{u"A"_s, u"B"_s}));
    EXPECT_EQ(&shown.first(), &std::as_const(library)[1]) << "the row is the library's record, not a copy";
    library[1].isInstalled = true;
    library.removeLast();
    EXPECT_FALSE(shown[0].isInstalled) << "rows show the library as it was when they were made";
    EXPECT_EQ(names(shown), (QStringList{u"A"_s, u"B"_s}));
}

TEST(LibraryRow, SubLinesKindsAndGroups) {
    OutlineViewItem single = product(1, u"Vantory - Glow"_s);
    single.product_fileSize = 1025;
    single.armCompatiable = true;
    single.product_location = u"Effects, Titles"_s;
    LibraryRow row = describeLibraryRow(single, {});
    EXPECT_EQ(row.title, u"Glow");
    EXPECT_EQ(row.subLine, u"File Size: 1.00 KB | \uf8ff Silicon Compatible");
    EXPECT_EQ(row.kindMask, effectsKind | titlesKind);

    OutlineViewItem bundle = product(10, u"Bundle"_s);
    bundle.product_location = u"Multiple"_s;
    bundle.children = {u"T"_s, u"Vantory - M"_s, u"Not Owned"_s};
    OutlineViewItem t = product(11, u"T"_s, true, 10);
    OutlineViewItem m = product(12, u"M"_s, false, 10);
    m.product_location = u"Transitions"_s;
    row = describeLibraryRow(bundle, {bundle, t, m});
    EXPECT_EQ(row.subLine, u"1 / 3 installed");
    EXPECT_EQ(row.kindText, u"Titles, Transitions, ");
}

TEST(ProductCache, RoundTripsAndRefusesWhatIsNotAnArrayOfObjects) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"cache.bin"_s);
    EXPECT_FALSE(ProductCache::load(path));
    OutlineViewItem stateful = product(7, u"State"_s, true, 3);
    stateful.isNeedUpdate = true;
    stateful.armCompatiable = true;
    ASSERT_FALSE(ProductCache::save(path, {stateful, product(8, u"Other"_s)}));
    EXPECT_EQ(ProductCache::load(path), (QList<OutlineViewItem>{stateful, product(8, u"Other"_s)}));

    ASSERT_TRUE(test::writeFile(path, "[]"));
    EXPECT_EQ(ProductCache::load(path), QList<OutlineViewItem>{});
    for (const QByteArray &bad :
         {QByteArray(R"({"a":1})"), QByteArray("[1,2]"), QByteArray("[{}"), QByteArray("\x00\x01")}) {
        ASSERT_TRUE(test::writeFile(path, bad));
        EXPECT_FALSE(ProductCache::load(path)) << bad.toStdString();
    }
}

} // namespace
} // namespace klv
