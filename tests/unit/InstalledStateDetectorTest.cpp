#include "library/InstalledStateDetector.h"
#include "core/Locations.h"
#include "library/InstalledProducts.h"
#include "store/LogFile.h"
#include "store/Reporter.h"

#include "ScriptedAlerts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

OutlineViewItem product(qint64 id, const QString &name, const QString &location = u"Titles"_s, qint64 parent = 0) {
    OutlineViewItem item;
    item.product_id = id;
    item.product_name = name;
    item.product_location = location;
    item.parentID = parent;
    return item;
}

OutlineViewItem group(qint64 id, const QString &name, const QStringList &children) {
    OutlineViewItem item = product(id, name, u"Multiple"_s);
    item.children = children;
    return item;
}

class DetectionTest : public ::testing::Test {
protected:
    void install(const QString &folder) { ASSERT_TRUE(QDir().mkpath(folder)); }

    QTemporaryDir dir;
    // Every folder below the test's own, those the XDG folders place (fonts, Resolve templates) included.
    Locations locations = Locations::forLinux(
        dir.filePath(u"Movies"_s), {dir.filePath(u"data"_s), dir.filePath(u"cache"_s), dir.filePath(u"config"_s), {}},
        u"group.example"_s, u"com.example"_s);
    LogFile log{dir.filePath(u"log.txt"_s)};
    test::ScriptedAlerts alerts;
    Reporter reporter{log, alerts};
    InstalledProducts installed{locations, reporter};
};

TEST_F(DetectionTest, MotionCandidatesDropPrefixAndFullVersion) {
    install(locations.motionTitlesFolderURL + u"KLV - Glow Pack");
    install(locations.motionEffectsFolderURL + u"Vantory - Glow Pack");
    const QStringList found = installed.findInstalledMotionTemplates(u"Vantory - Glow Pack - Full Version"_s, false);
    EXPECT_EQ(found, (QStringList{locations.motionTitlesFolderURL + u"KLV - Glow Pack",
                                  locations.motionEffectsFolderURL + u"Vantory - Glow Pack"}));

    install(locations.motionGeneratorsFolderURL + u"KLV - Glow Bundle");
    EXPECT_EQ(installed.findInstalledMotionTemplates(u"Glow - Full Version Bundle"_s, false).size(), 1);

    // Removal deletes every copy and still lists them.
    EXPECT_EQ(installed.findInstalledMotionTemplates(u"Glow Pack"_s, true).size(), 2);
    EXPECT_TRUE(installed.findInstalledMotionTemplates(u"Glow Pack"_s, false).isEmpty());
}

TEST_F(DetectionTest, ResolveNamesAreRenumberedAndBothCandidatesRemoved) {
    const QString folder = locations.resolveTemplatesFolderURL;
    ASSERT_TRUE(test::writeFile(folder + u"KLV - Cinematic  03.drfx", {}));
    EXPECT_EQ(installed.findInstalledResolveTemplates(u"Cinematic DVR 3"_s, false),
              QStringList{folder + u"KLV - Cinematic  03.drfx"});
    ASSERT_TRUE(test::writeFile(folder + u"KLV - Stinger 12.drfx", {}));
    EXPECT_EQ(installed.findInstalledResolveTemplates(u"Stinger 12"_s, false).size(), 2)
        << "no renumbering: both candidates are the same file";

    ASSERT_TRUE(test::writeFile(folder + u"KLV - Cinematic DVR 3.drfx", {}));
    EXPECT_TRUE(installed.findInstalledResolveTemplates(u"Cinematic DVR 3"_s, true).isEmpty());
    EXPECT_FALSE(QFile::exists(folder + u"KLV - Cinematic  03.drfx"));
    EXPECT_FALSE(QFile::exists(folder + u"KLV - Cinematic DVR 3.drfx"));
}

TEST_F(DetectionTest, NamesThatLeaveTheFolderAreNeverLookedUpOrRemoved) {
    install(locations.motionTitlesFolderURL + u"KLV - x/../../../../keep");
    install(dir.filePath(u"keep"_s));
    EXPECT_TRUE(installed.findInstalledMotionTemplates(u"x/../../../../keep"_s, true).isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath(u"keep"_s)).isDir());
}

TEST_F(DetectionTest, ProductsCompositesResolveAndGroups) {
    QList<OutlineViewItem> library{
        group(100, u"Bundle"_s, {u"Titles A"_s, u"Vantory - Moves B"_s}),
        product(101, u"Titles A"_s, u"Titles"_s, 100),
        product(102, u"Moves B"_s, u"Transitions"_s, 100),
        group(200, u"Half Bundle"_s, {u"Solo C"_s, u"Not Owned"_s}),
        product(0, u"Smoke"_s, u"Composite"_s),
        product(0, u"Smoke"_s, u"Composite"_s),
        product(300, u"Looks DVR 2"_s, u"Effects"_s),
        product(103, u"Solo C"_s, u"Titles"_s, 200),
    };
    library[6].mainApplicationType = u"DVR"_s;
    library[3].isInstalled = true;
    install(locations.motionTitlesFolderURL + u"KLV - Titles A");
    install(locations.motionTransitionsFolderURL + u"Vantory - Moves B");
    install(locations.motionTitlesFolderURL + u"KLV - Solo C");
    install(locations.compositeFolderURL + u"/Smoke");
    ASSERT_TRUE(test::writeFile(locations.resolveTemplatesFolderURL + u"KLV - Looks  02.drfx", {}));

    const InstalledStateDetector detector(installed);
    QHash<QString, qint64> names = productNameMap(library);
    names.insert(u"Not Owned"_s, 999);
    EXPECT_TRUE(detector.detectInstalledStates(library, names));
    EXPECT_TRUE(library[0].isInstalled) << "every member is installed";
    EXPECT_TRUE(library[1].isInstalled);
    EXPECT_TRUE(library[2].isInstalled);
    EXPECT_FALSE(library[3].isInstalled) << "a member the customer does not own keeps the group uninstalled";
    EXPECT_TRUE(library[4].isInstalled);
    EXPECT_FALSE(library[5].isInstalled) << "only the first composite of a name is matched";
    EXPECT_TRUE(library[6].isInstalled);

    const QList<OutlineViewItem> once = library;
    EXPECT_FALSE(detector.detectInstalledStates(library, names)) << "nothing changed the second time";
    EXPECT_TRUE(library.isSharedWith(once)) << "a detection that changes nothing copies no record";

    QDir(locations.motionTransitionsFolderURL + u"Vantory - Moves B").removeRecursively();
    EXPECT_TRUE(detector.detectInstalledStates(library, {{u"Moves B"_s, 102}}));
    EXPECT_FALSE(library[2].isInstalled);
    EXPECT_FALSE(library[0].isInstalled);

    // A placement under way, or cut short, is no installation, for its own row and its group's; once it is kept
    // the product counts again.
    const QString journal = locations.downloads().journalFile(u"Titles A"_s, u"templates"_s);
    ASSERT_TRUE(test::writeFile(journal, "W\n"));
    EXPECT_TRUE(detector.detectInstalledStates(library, {{u"Titles A"_s, 101}, {u"Smoke"_s, 0}}));
    EXPECT_FALSE(library[1].isInstalled);
    EXPECT_TRUE(library[4].isInstalled) << "only the product with the journal";
    ASSERT_TRUE(QFile::rename(journal, QString(journal).replace(u".journal"_s, u".kept"_s)));
    EXPECT_TRUE(detector.detectInstalledStates(library, {{u"Titles A"_s, 101}}));
    EXPECT_TRUE(library[1].isInstalled);
}

TEST_F(DetectionTest, UpdatesFollowTheTwentyHourMargin) {
    install(locations.motionTitlesFolderURL + u"KLV - Early");
    install(locations.motionTitlesFolderURL + u"KLV - Late");
    const QDate releaseDay(2023, 5, 10);
    const auto created = [&](const QString &path) -> std::optional<QDateTime> {
        if (path.endsWith(u"Early"))
            return QDateTime(releaseDay, QTime(15, 0));
        if (path.endsWith(u"Late"))
            return QDateTime(releaseDay, QTime(21, 0));
        return std::nullopt;
    };
    QList<OutlineViewItem> library{product(1, u"Early"_s), product(2, u"Late"_s), product(3, u"Missing"_s),
                                   product(4, u"Unfinished"_s)};
    library[0].isInstalled = library[1].isInstalled = true;
    library[1].isNeedUpdate = true;
    install(locations.motionTitlesFolderURL + u"KLV - Unfinished");
    const InstalledStateDetector detector(installed, created);
    detector.checkNeedUpdate(library,
                             {{1, u"2023.05.10"_s}, {2, u"2023.05.10"_s}, {3, u"2023.05.10"_s}, {4, u"2023.05.10"_s}});
    EXPECT_TRUE(library[0].isNeedUpdate);
    EXPECT_TRUE(library[1].isNeedUpdate) << "never cleared here";
    EXPECT_FALSE(library[2].isNeedUpdate);
    EXPECT_FALSE(library[3].isNeedUpdate) << "a folder detection did not count as an installation offers no update";

    library[1].isNeedUpdate = false;
    detector.checkNeedUpdate(library, {{2, u"2023.05.10"_s}, {1, u"2099-01-01"_s}});
    EXPECT_FALSE(library[1].isNeedUpdate) << "21:00 minus 20 hours is after the release midnight";
}

} // namespace
} // namespace klv
