#include "core/Locations.h"
#include "core/SharedFormatters.h"
#include "store/LogFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class EnsureFolderTest : public ::testing::Test {
protected:
    int logLines() const {
        QFile file(log.filePath());
        file.open(QIODevice::ReadOnly);
        return static_cast<int>(file.readAll().count('\n'));
    }

    QTemporaryDir dir;
    LogFile log{dir.filePath(u"log.txt"_s)};
};

TEST_F(EnsureFolderTest, ExistingFoldersAreLeftAloneEvenReadOnly) {
    const QString folder = dir.filePath(u"ro/"_s);
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(ensureFolder(folder, log));
    EXPECT_EQ(logLines(), 0);
}

TEST_F(EnsureFolderTest, CreatesOneLevelOnlyAndLogsEachFailure) {
    EXPECT_FALSE(ensureFolder(dir.filePath(u"new/"_s), log));
    EXPECT_TRUE(QFileInfo(dir.filePath(u"new"_s)).isDir());

    const auto missingParent = ensureFolder(dir.filePath(u"Motion Templates.localized/Effects.localized/"_s), log);
    ASSERT_TRUE(missingParent);
    EXPECT_TRUE(missingParent->contains(u"No such file or directory"));
    EXPECT_EQ(logLines(), 1);

    QFile plain(dir.filePath(u"plain"_s));
    plain.open(QIODevice::WriteOnly);
    plain.close();
    EXPECT_TRUE(ensureFolder(dir.filePath(u"plain/"_s), log));
    EXPECT_EQ(logLines(), 2);

    QFile file(log.filePath());
    file.open(QIODevice::ReadOnly);
    const QByteArray expected =
        " : Failed to Create Folder for file://" + QFile::encodeName(dir.path()) + "/Motion%20Templates.localized/";
    EXPECT_TRUE(file.readAll().contains(expected));
}

TEST(Locations, DeriveEveryPathFromTheBases) {
    const Locations l({u"/m"_s, u"/lib"_s, u"/apps/"_s, u"/group"_s}, u"com.example.app"_s);
    EXPECT_EQ(l.appBundleURL, u"/apps/KLV App.app");
    EXPECT_EQ(l.downloadFolderURL, u"/apps/Vantory/KLV-Download/");
    EXPECT_EQ(l.logFileURL, u"/apps/Vantory/Log/KLVAppLog.txt");
    EXPECT_EQ(l.compositeFolderURL, u"/m/KLV Composite");
    EXPECT_EQ(l.motionGeneratorsFolderURL, u"/m/Motion Templates.localized/Generators.localized/");
    EXPECT_EQ(l.userDataFileURL, u"/group/KLVApp_UserData_IM.bin");
    EXPECT_EQ(l.productImageFolderURL, u"/group/KLVApp Product Image/");
    EXPECT_EQ(l.motionFolderByCategory.size(), 4);
    EXPECT_EQ(l.motionFolderByCategory.value(u"Titles"_s), l.motionTitlesFolderURL);
}

TEST(Locations, TheMacOSMapIsTheWellKnownOneWhereverItIsComputed) {
    const Locations l = Locations::forMacOS(u"/Users/ann"_s, u"group.com.vantory.klvapp"_s, u"com.vantory.klvapp"_s);
    EXPECT_EQ(l.moviesFolderURL, u"/Users/ann/Movies/");
    EXPECT_EQ(l.libraryFolderURL, u"/Users/ann/Library/");
    EXPECT_EQ(l.applicationsFolderURL, u"/Applications/");
    EXPECT_EQ(l.sharedContainerURL, u"/Users/ann/Library/Group Containers/group.com.vantory.klvapp/");
    EXPECT_EQ(l.appBundleURL, u"/Applications/KLV App.app");
    EXPECT_EQ(l.pluginsFolderURL, u"/Applications/Vantory/Plugins/");
    EXPECT_EQ(l.resolveTemplatesFolderURL,
              u"/Users/ann/Library/Application Support/Blackmagic Design/DaVinci Resolve/Fusion/Templates/");
    EXPECT_EQ(l.customLUTsFolderURL, u"/Users/ann/Library/Application Support/ProApps/Custom LUTs/");
    EXPECT_EQ(l.fontsFolderURL, u"/Users/ann/Library/Fonts/");
    EXPECT_EQ(l.appCacheFolderURL, u"/Users/ann/Library/Caches/com.vantory.klvapp/");
    EXPECT_EQ(l.settingsFileURL, u"/Users/ann/Library/Preferences/com.vantory.klvapp.plist");
    EXPECT_EQ(l.motionEffectsFolderURL, u"/Users/ann/Movies/Motion Templates.localized/Effects.localized/");
    EXPECT_EQ(l.updaterAppURL, u"/Users/ann/Library/Group Containers/group.com.vantory.klvapp/updateKLVApp.app");
    EXPECT_EQ(l.appUpdateArchiveURL, u"/Users/ann/Library/Group Containers/group.com.vantory.klvapp/KLV App.zip");
    EXPECT_TRUE(l.systemProvidesBaseFolders);
    EXPECT_TRUE(l.hostAppsProvideMotionTemplatesFolder);
}

TEST(Locations, TheLinuxMapUsesTheXdgFoldersConsumersRead) {
    const Locations l = Locations::forLinux(
        u"/home/ann/Videos"_s, {u"/home/ann/.local/share"_s, u"/home/ann/.cache"_s, u"/home/ann/.config"_s, {}},
        u"group.com.vantory.klvapp"_s, u"com.vantory.klvapp"_s);
    EXPECT_EQ(l.moviesFolderURL, u"/home/ann/Videos/");
    EXPECT_EQ(l.libraryFolderURL, u"/home/ann/.local/share/klv-app/Library/");
    EXPECT_EQ(l.applicationsFolderURL, u"/home/ann/.local/share/klv-app/Applications/");
    EXPECT_EQ(l.sharedContainerURL, u"/home/ann/.local/share/klv-app/Group Containers/group.com.vantory.klvapp/");
    EXPECT_EQ(l.fontsFolderURL, u"/home/ann/.local/share/fonts/");
    EXPECT_EQ(l.resolveTemplatesFolderURL, u"/home/ann/.local/share/DaVinciResolve/Fusion/Templates/");
    EXPECT_EQ(l.appCacheFolderURL, u"/home/ann/.cache/com.vantory.klvapp/");
    EXPECT_EQ(l.settingsFileURL, u"/home/ann/.config/com.vantory.klvapp.conf");
    EXPECT_EQ(l.customLUTsFolderURL, u"/home/ann/.local/share/DaVinciResolve/Fusion/LUTs/");
    EXPECT_EQ(l.logFileURL, u"/home/ann/.local/share/klv-app/Applications/Vantory/Log/KLVAppLog.txt");
    EXPECT_EQ(l.motionTitlesFolderURL, u"/home/ann/Videos/Motion Templates.localized/Titles.localized/");
    // Start-up makes the base folders and the Motion templates folder itself.
    EXPECT_FALSE(l.systemProvidesBaseFolders);
    EXPECT_FALSE(l.hostAppsProvideMotionTemplatesFolder);
}

TEST(Locations, LooksOnLinuxGoToResolvesSystemFolderOnlyWhenItExistsAndMayBeWritten) {
    QTemporaryDir dir;
    const QString system = dir.filePath(u"opt/resolve/LUT"_s);
    const auto looks = [&] {
        return Locations::forLinux(dir.filePath(u"Videos"_s), {dir.filePath(u"data"_s), {}, {}, system}, u"g"_s, u"b"_s)
            .customLUTsFolderURL;
    };
    const QString perUser = dir.filePath(u"data/DaVinciResolve/Fusion/LUTs/"_s);
    EXPECT_EQ(looks(), perUser) << "Resolve is not installed";
    ASSERT_TRUE(QDir().mkpath(system));
    EXPECT_EQ(looks(), system + u'/');
    ASSERT_TRUE(QFile::setPermissions(system, QFile::ReadOwner | QFile::ExeOwner));
    if (QFileInfo(system).isWritable())
        GTEST_SKIP() << "run as root, every folder may be written";
    EXPECT_EQ(looks(), perUser) << "this user may not write there";
}

TEST(SharedFormatters, NumbersKeepTwoIntegerDigitsAndRoundTiesToEven) {
    const NumberFormatter format;
    EXPECT_EQ(format.string(5), u"05");
    EXPECT_EQ(format.string(0.05 * 100), u"05");
    EXPECT_EQ(format.string(0.4567 * 100), u"45.67");
    EXPECT_EQ(format.string(100), u"100");
    EXPECT_EQ(format.string(0), u"00");
    EXPECT_EQ(format.string(12.5), u"12.5");
    EXPECT_EQ(format.string(0.125), u"00.12");
    EXPECT_EQ(format.string(0.375), u"00.38");
    EXPECT_EQ(format.string(99.999), u"100");
    EXPECT_EQ(format.string(-3.5), u"-03.5");
}

} // namespace
} // namespace klv
