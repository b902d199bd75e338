#include "library/LibraryFilter.h"
#include "library/LibraryRow.h"
#include "library/ProductCache.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace klv {
namespace {

OutlineViewItem product(qint64 id, const QString &name, bool installed = false, qint64 parent = 0) {
    OutlineViewItem item;
    item.product_id = id;
    item.product_name = name;
    item.isInstalled = installed;
    item.parentID = parent;
    item.product_location = QStringLiteral("Titles");
    return item;
}

QStringList names(const QList<OutlineViewItem> &rows) {
    QStringList result;
    for (const OutlineViewItem &row : rows)
        result << row.product_name;
    return result;
}

QStringList sortedNames(const QList<OutlineViewItem> &rows) {
    QStringList result = names(rows);
    result.sort();
    return result;
}

TEST(LibraryFilter, StateAndTopLevelFilters) {
    QList<OutlineViewItem> library{product(1, QStringLiteral("A"), true), product(2, QStringLiteral("B")),
                                   product(3, QStringLiteral("Member"), true, 9)};
    library[1].isNeedUpdate = true;
    LibraryViewSettings view;
    EXPECT_EQ(names(filterLibrary(view, library, {})), (QStringList{u"A"_qs, u"B"_qs}));
    view.filterMyProductState = productFilterState::installedProduct;
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"A"_qs});
    view.filterMyProductState = productFilterState::notInstalledProduct;
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"B"_qs});
    view.filterMyProductState = productFilterState::needUpdateProduct;
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"B"_qs});
    library[1].isNeedUpdate = false;
    EXPECT_TRUE(filterLibrary(view, library, {}).isEmpty());

    // An empty library shows the cached list, unfiltered by state, members still excluded.
    view.filterMyProductState = productFilterState::installedProduct;
    EXPECT_EQ(names(filterLibrary(view, {}, library)), (QStringList{u"A"_qs, u"B"_qs}));
}

TEST(LibraryFilter, SearchTermsAreOredWithTheDoubleBlankRule) {
    OutlineViewItem bundle = product(10, QStringLiteral("Creator Bundle"));
    bundle.children = {QStringLiteral("Vantory - Glow Titles")};
    const QList<OutlineViewItem> library{product(1, QStringLiteral("Glow FX")),
                                         product(2, QStringLiteral("Title Pack")),
                                         product(3, QStringLiteral("Fab Looks")),
                                         bundle,
                                         product(11, QStringLiteral("Glow Titles"), false, 10),
                                         product(4, QStringLiteral("ÉCLAIR Motion")),
                                         product(5, QStringLiteral("a  b"))};
    LibraryViewSettings view;
    view.searchString = QStringLiteral("glow,TITLE");
    EXPECT_EQ(sortedNames(filterLibrary(view, library, {})),
              (QStringList{u"Creator Bundle"_qs, u"Glow FX"_qs, u"Title Pack"_qs}));
    view.searchString = QStringLiteral("q, b");
    EXPECT_EQ(sortedNames(filterLibrary(view, library, {})), (QStringList{u"Creator Bundle"_qs, u"a  b"_qs}))
        << "the second term is \" b\": \"Fab Looks\" has no blank before its b";
    view.searchString = QStringLiteral(",");
    EXPECT_TRUE(filterLibrary(view, library, {}).isEmpty());
    view.searchString = QStringLiteral("éclair");
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"ÉCLAIR Motion"_qs});
    view.searchString = QStringLiteral("a   b");
    EXPECT_EQ(names(filterLibrary(view, library, {})), QStringList{u"a  b"_qs}) << "three blanks become two";
    view.searchString = QStringLiteral("a  b");
    EXPECT_TRUE(filterLibrary(view, library, {}).isEmpty()) << "two blanks become one";
}

TEST(LibraryFilter, SortIsStableByCodePointsOfComposedNames) {
    const QString composed = QStringLiteral("\u00e9t\u00e9");
    const QString decomposed = QStringLiteral("e\u0301t\u00e9 2");
    QList<OutlineViewItem> library{product(1, QStringLiteral("apple")),
                                   product(2, QStringLiteral("Zebra")),
                                   product(3, QStringLiteral("apple")),
                                   product(4, decomposed),
                                   product(5, composed),
                                   product(6, QStringLiteral("\U0001F600 smile")),
                                   product(7, QStringLiteral("\uf8ff x"))};
    LibraryViewSettings view;
    view.sortProductState = productSortState::aToZSort;
    const QList<OutlineViewItem> sorted = filterLibrary(view, library, {});
    EXPECT_EQ(names(sorted), (QStringList{u"Zebra"_qs, u"apple"_qs, u"apple"_qs, composed, decomposed,
                                          QStringLiteral("\uf8ff x"), QStringLiteral("\U0001F600 smile")}));
    EXPECT_EQ(sorted[1].product_id, 1) << "equal names keep the library order";
    EXPECT_EQ(sorted[2].product_id, 3);
    view.sortProductState = productSortState::zToASort;
    EXPECT_EQ(filterLibrary(view, library, {}).first().product_name, u"\U0001F600 smile");
}

TEST(LibraryRow, SubLinesKindsAndGroups) {
    OutlineViewItem single = product(1, QStringLiteral("Vantory - Glow"));
    single.product_fileSize = 1025;
    single.armCompatiable = true;
    single.product_location = QStringLiteral("Effects, Titles");
    LibraryRow row = describeLibraryRow(single, {});
    EXPECT_EQ(row.title, u"Glow");
    EXPECT_EQ(row.subLine, u"File Size: 1.00 KB | \uf8ff Silicon Compatible");
    EXPECT_EQ(row.kindMask, effectsKind | titlesKind);

    OutlineViewItem bundle = product(10, QStringLiteral("Bundle"));
    bundle.product_location = QStringLiteral("Multiple");
    bundle.children = {QStringLiteral("T"), QStringLiteral("Vantory - M"), QStringLiteral("Not Owned")};
    OutlineViewItem t = product(11, QStringLiteral("T"), true, 10);
    OutlineViewItem m = product(12, QStringLiteral("M"), false, 10);
    m.product_location = QStringLiteral("Transitions");
    row = describeLibraryRow(bundle, {bundle, t, m});
    EXPECT_EQ(row.subLine, u"1 / 3 installed");
    EXPECT_EQ(row.kindText, u"Titles, Transitions, ");
}

TEST(ProductCache, RoundTripsAndRefusesWhatIsNotAnArrayOfObjects) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cache.bin"));
    EXPECT_FALSE(ProductCache::load(path));
    OutlineViewItem stateful = product(7, QStringLiteral("State"), true, 3);
    stateful.isNeedUpdate = true;
    stateful.armCompatiable = true;
    ASSERT_FALSE(ProductCache::save(path, {stateful, product(8, QStringLiteral("Other"))}));
    EXPECT_EQ(ProductCache::load(path), (QList<OutlineViewItem>{stateful, product(8, QStringLiteral("Other"))}));

    const auto write = [&](const QByteArray &bytes) {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
    };
    write("[]");
    EXPECT_EQ(ProductCache::load(path), QList<OutlineViewItem>{});
    for (const QByteArray &bad :
         {QByteArray(R"({"a":1})"), QByteArray("[1,2]"), QByteArray("[{}"), QByteArray("\x00\x01")}) {
        write(bad);
        EXPECT_FALSE(ProductCache::load(path)) << bad.toStdString();
    }
}

} // namespace
} // namespace klv
