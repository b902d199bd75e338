#include "app/StartupSequence.h"
#include "app/AppContext.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class StartupSequenceTest : public ::testing::Test {
protected:
    void makePlainFile(const QString &path) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
    }
    QStringList alertMessages() const {
        QStringList messages;
        for (const auto &shown : alerts.shown)
            messages << shown.message;
        return messages;
    }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    std::unique_ptr<AppContext> context = std::make_unique<AppContext>(Configuration::fromEnvironment(), alerts);
};

TEST_F(StartupSequenceTest, FirstStartBuildsTheWholeTreeWithoutAlerts) {
    const Locations &l = context->services().locations();
    QDir().mkpath(l.appCacheFolderURL + u"stale/deeper");
    runStartupSequence(*context, {u"klv-app"_s}, UpdaterFetch::onDemand);

    EXPECT_TRUE(alertMessages().isEmpty()) << alertMessages().join(u'\n').toStdString();
    for (const QString &folder :
         {l.vantoryFolderURL, l.pluginsFolderURL, l.logFolderURL, l.downloadFolderURL, l.motionEffectsFolderURL,
          l.motionTitlesFolderURL, l.motionTransitionsFolderURL, l.motionGeneratorsFolderURL, l.compositeFolderURL,
          l.productImageFolderURL, l.fontsFolderURL})
        EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
    EXPECT_FALSE(QFileInfo::exists(l.appCacheFolderURL));
    EXPECT_TRUE(QFileInfo(l.userDataFileURL).isFile());
    EXPECT_TRUE(context->services().productImageMap.isEmpty());
    EXPECT_FALSE(context->services().detailLogEnabled);
    EXPECT_EQ(context->services().appVersion, context->services().configuration().appVersion);
    EXPECT_TRUE(context->services().macOSVersion.endsWith(u'\n'));
    EXPECT_FALSE(context->services().settings().firstRunDate.isEmpty());
}

TEST_F(StartupSequenceTest, EachFolderThatCannotBeMadeAlertsAndTheRestGoOn) {
    const Locations &l = context->services().locations();
    makePlainFile(l.pluginsFolderURL.chopped(1));
    makePlainFile(l.motionTemplatesFolderURL.chopped(1));
    runStartupSequence(*context, {}, UpdaterFetch::onDemand);

    const QStringList messages = alertMessages();
    ASSERT_EQ(messages.size(), 5) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(
        messages[0].startsWith(u"Failed to create 'Plugins' folder in 'Vantory' folder. This is required to use "
                               u"our product.Please contact customer support with this error: "));
    EXPECT_TRUE(messages[1].startsWith(u"Failed to create Effect folder in Motion Template folder : "));
    EXPECT_TRUE(messages[2].startsWith(u"Failed to create Title folder in Motion Template folder : "));
    EXPECT_TRUE(messages[3].startsWith(u"Failed to create Transition folder in Motion Template folder : "));
    EXPECT_TRUE(messages[4].startsWith(u"Failed to create Generator folder in Motion Template folder : "));
    for (const auto &shown : alerts.shown) {
        EXPECT_EQ(shown.title, u"Alert");
        EXPECT_EQ(shown.buttons, QStringList{u"OK"_s});
    }
    EXPECT_TRUE(QFileInfo(l.logFolderURL).isDir());
    EXPECT_TRUE(QFileInfo(l.fontsFolderURL).isDir());

    QFile logFile(l.logFileURL);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QByteArray logged = logFile.readAll();
    // Failures that came before start-up reached the log folder are kept too.
    EXPECT_EQ(logged.count("Failed to Create Folder for "), 6);
    EXPECT_EQ(logged.count(" : Failed to create "), 5);
}

TEST_F(StartupSequenceTest, AGarbledPictureMapCountsAsMissing) {
    const Locations &l = context->services().locations();
    QDir().mkpath(l.sharedContainerURL);
    QFile garbled(l.userDataFileURL);
    garbled.open(QIODevice::WriteOnly);
    garbled.write("bplist00 but not really");
    garbled.close();

    runStartupSequence(*context, {}, UpdaterFetch::onDemand);
    EXPECT_TRUE(context->services().productImageMap.isEmpty());
    QFile rewritten(l.userDataFileURL);
    rewritten.open(QIODevice::ReadOnly);
    EXPECT_EQ(ProductImageMapArchive::decode(rewritten.readAll()), ProductImageMap{});
}

TEST_F(StartupSequenceTest, AStoredPictureMapIsLoaded) {
    const Locations &l = context->services().locations();
    QDir().mkpath(l.sharedContainerURL);
    const ProductImageMap stored{{42, QUrl::fromLocalFile(l.productImageFolderURL + u"42.png")}};
    QFile file(l.userDataFileURL);
    file.open(QIODevice::WriteOnly);
    file.write(ProductImageMapArchive::encode(stored));
    file.close();

    runStartupSequence(*context, {}, UpdaterFetch::onDemand);
    EXPECT_EQ(context->services().productImageMap, stored);
}

} // namespace
} // namespace klv
