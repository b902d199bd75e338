#include "install/PluginRegistration.h"
#include "store/Services.h"

#include "PluginApps.h"
#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class PluginRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(services.locations().logFolderURL));
        QObject::connect(&registration, &PluginRegistration::finished, &registration, [this] { ++finishedCount; });
    }

    QString plugins() const { return services.locations().pluginsFolderURL; }
    QStringList logLines() const {
        return QString::fromUtf8(test::readFile(services.locations().logFileURL)).split(u'\n');
    }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    Services services{Configuration::fromEnvironment(), alerts};
    PluginRegistration registration{services};
    test::PluginApps apps{home.filePath(u"started"_s)};
    int finishedCount = 0;
};

TEST_F(PluginRegistrationTest, StartsEveryApplicationOnceAndEndsAllButTheMaps) {
    ASSERT_TRUE(apps.add(plugins(), u"Glow Plugin.app"_s));
    ASSERT_TRUE(apps.add(plugins(), u"Shake's \"FX\" $(x).app"_s));
    ASSERT_TRUE(apps.add(plugins(), u"KLVMaps.app"_s));
    ASSERT_TRUE(QDir().mkpath(plugins() + u"__MACOSX"_s));
    QFile(plugins() + u".DS_Store"_s).open(QIODevice::WriteOnly);
    // A stray file is tried like the rest and does not stop the run.
    QFile(plugins() + u"notes.txt"_s).open(QIODevice::WriteOnly);

    ASSERT_TRUE(registration.runFxRun());
    EXPECT_TRUE(registration.isRunning());
    EXPECT_FALSE(registration.runFxRun()) << "one run at a time";
    ASSERT_TRUE(test::waitUntil([&] { return finishedCount == 1; }));

    EXPECT_EQ(apps.started().size(), 3);
    // Ending takes a signal's moment; only the maps application keeps running.
    EXPECT_TRUE(test::waitUntil([&] { return apps.stillRunning() == 1; }, 3000));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown.first().message, u"Finished - FxRun has Completed"_s);
    EXPECT_EQ(alerts.shown.first().buttons, QStringList{u"OK"_s});
    EXPECT_FALSE(registration.isRunning());
}

TEST_F(PluginRegistrationTest, AnEmptyFolderFinishesAndAMissingOneIsLogged) {
    EXPECT_FALSE(registration.runFxRun());
    EXPECT_FALSE(logLines().filter(u"Get list of KLV App Plugin:"_s).isEmpty());
    EXPECT_TRUE(alerts.shown.isEmpty());

    ASSERT_TRUE(QDir().mkpath(plugins()));
    EXPECT_TRUE(registration.runFxRun());
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(alerts.shown.size(), 1);
}

} // namespace
} // namespace klv
