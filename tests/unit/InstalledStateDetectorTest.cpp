#include "library/InstalledStateDetector.h"
#include "core/Locations.h"
#include "library/InstalledProducts.h"
#include "store/LogFile.h"
#include "store/Reporter.h"

#include "ScriptedAlerts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace klv {
namespace {

OutlineViewItem product(qint64 id, const QString &name, const QString &location = QStringLiteral("Titles"),
                        qint64 parent = 0) {
    OutlineViewItem item;
    item.product_id = id;
    item.product_name = name;
    item.product_location = location;
    item.parentID = parent;
    return item;
}

OutlineViewItem group(qint64 id, const QString &name, const QStringList &children) {
    OutlineViewItem item = product(id, name, QStringLiteral("Multiple"));
    item.children = children;
    return item;
}

class DetectionTest : public ::testing::Test {
protected:
    void install(const QString &folder) { ASSERT_TRUE(QDir().mkpath(folder)); }
    void touch(const QString &path) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QTemporaryDir dir;
    Locations locations{{dir.filePath(QStringLiteral("Movies")), dir.filePath(QStringLiteral("Library")),
                         dir.filePath(QStringLiteral("Applications")), dir.filePath(QStringLiteral("Group"))},
                        QStringLiteral("com.example")};
    LogFile log{dir.filePath(QStringLiteral("log.txt"))};
    test::ScriptedAlerts alerts;
    Reporter reporter{log, alerts};
    InstalledProducts installed{locations, reporter};
};

TEST_F(DetectionTest, MotionCandidatesDropPrefixAndFullVersion) {
    install(locations.motionTitlesFolderURL + u"KLV - Glow Pack");
    install(locations.motionEffectsFolderURL + u"Vantory - Glow Pack");
    const QStringList found =
        installed.findInstalledMotionTemplates(QStringLiteral("Vantory - Glow Pack - Full Version"), false);
    EXPECT_EQ(found, (QStringList{locations.motionTitlesFolderURL + u"KLV - Glow Pack",
                                  locations.motionEffectsFolderURL + u"Vantory - Glow Pack"}));

    install(locations.motionGeneratorsFolderURL + u"KLV - Glow Bundle");
    EXPECT_EQ(installed.findInstalledMotionTemplates(QStringLiteral("Glow - Full Version Bundle"), false).size(), 1);

    // Removal deletes every copy and still lists them.
    EXPECT_EQ(installed.findInstalledMotionTemplates(QStringLiteral("Glow Pack"), true).size(), 2);
    EXPECT_TRUE(installed.findInstalledMotionTemplates(QStringLiteral("Glow Pack"), false).isEmpty());
}

TEST_F(DetectionTest, ResolveNamesAreRenumberedAndBothCandidatesRemoved) {
    const QString folder = locations.resolveTemplatesFolderURL;
    touch(folder + u"KLV - Cinematic  03.drfx");
    EXPECT_EQ(installed.findInstalledResolveTemplates(QStringLiteral("Cinematic DVR 3"), false),
              QStringList{folder + u"KLV - Cinematic  03.drfx"});
    touch(folder + u"KLV - Stinger 12.drfx");
    EXPECT_EQ(installed.findInstalledResolveTemplates(QStringLiteral("Stinger 12"), false).size(), 2)
        << "no renumbering: both candidates are the same file";

    touch(folder + u"KLV - Cinematic DVR 3.drfx");
    EXPECT_TRUE(installed.findInstalledResolveTemplates(QStringLiteral("Cinematic DVR 3"), true).isEmpty());
    EXPECT_FALSE(QFile::exists(folder + u"KLV - Cinematic  03.drfx"));
    EXPECT_FALSE(QFile::exists(folder + u"KLV - Cinematic DVR 3.drfx"));
}

TEST_F(DetectionTest, NamesThatLeaveTheFolderAreNeverLookedUpOrRemoved) {
    install(locations.motionTitlesFolderURL + u"KLV - x/../../../../keep");
    install(dir.filePath(QStringLiteral("keep")));
    EXPECT_TRUE(installed.findInstalledMotionTemplates(QStringLiteral("x/../../../../keep"), true).isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("keep"))).isDir());
}

TEST_F(DetectionTest, ProductsCompositesResolveAndGroups) {
    QList<OutlineViewItem> library{
        group(100, QStringLiteral("Bundle"), {QStringLiteral("Titles A"), QStringLiteral("Vantory - Moves B")}),
        product(101, QStringLiteral("Titles A"), QStringLiteral("Titles"), 100),
        product(102, QStringLiteral("Moves B"), QStringLiteral("Transitions"), 100),
        group(200, QStringLiteral("Half Bundle"), {QStringLiteral("Solo C"), QStringLiteral("Not Owned")}),
        product(0, QStringLiteral("Smoke"), QStringLiteral("Composite")),
        product(0, QStringLiteral("Smoke"), QStringLiteral("Composite")),
        product(300, QStringLiteral("Looks DVR 2"), QStringLiteral("Effects")),
        product(103, QStringLiteral("Solo C"), QStringLiteral("Titles"), 200),
    };
    library[6].mainApplicationType = QStringLiteral("DVR");
    library[3].isInstalled = true;
    install(locations.motionTitlesFolderURL + u"KLV - Titles A");
    install(locations.motionTransitionsFolderURL + u"Vantory - Moves B");
    install(locations.motionTitlesFolderURL + u"KLV - Solo C");
    install(locations.compositeFolderURL + u"/Smoke");
    touch(locations.resolveTemplatesFolderURL + u"KLV - Looks  02.drfx");

    const InstalledStateDetector detector(installed);
    QHash<QString, qint64> names = productNameMap(library);
    names.insert(QStringLiteral("Not Owned"), 999);
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
    for (qsizetype i = 0; i < library.size(); ++i)
        EXPECT_EQ(library[i].isInstalled, once[i].isInstalled) << i;

    QDir(locations.motionTransitionsFolderURL + u"Vantory - Moves B").removeRecursively();
    EXPECT_TRUE(detector.detectInstalledStates(library, {{QStringLiteral("Moves B"), 102}}));
    EXPECT_FALSE(library[2].isInstalled);
    EXPECT_FALSE(library[0].isInstalled);
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
    QList<OutlineViewItem> library{product(1, QStringLiteral("Early")), product(2, QStringLiteral("Late")),
                                   product(3, QStringLiteral("Missing"))};
    library[1].isNeedUpdate = true;
    const InstalledStateDetector detector(installed, created);
    detector.checkNeedUpdate(
        library,
        {{1, QStringLiteral("2023.05.10")}, {2, QStringLiteral("2023.05.10")}, {3, QStringLiteral("2023.05.10")}});
    EXPECT_TRUE(library[0].isNeedUpdate);
    EXPECT_TRUE(library[1].isNeedUpdate) << "never cleared here";
    EXPECT_FALSE(library[2].isNeedUpdate);

    library[1].isNeedUpdate = false;
    detector.checkNeedUpdate(library, {{2, QStringLiteral("2023.05.10")}, {1, QStringLiteral("2099-01-01")}});
    EXPECT_FALSE(library[1].isNeedUpdate) << "21:00 minus 20 hours is after the release midnight";
}

} // namespace
} // namespace klv
