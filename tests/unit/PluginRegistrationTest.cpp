#include "install/PluginRegistration.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <csignal>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class PluginRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(services.locations().logFolderURL));
        QObject::connect(&registration, &PluginRegistration::finished, &registration, [this] { ++finishedCount; });
    }
    void TearDown() override {
        for (const qint64 pid : started())
            ::kill(pid_t(pid), SIGKILL);
    }

    QString plugins() const { return services.locations().pluginsFolderURL; }
    // An AppDir whose AppRun notes its process number and then waits, as a plug-in's host application does.
    void addApplication(const QString &name) const {
        const QString folder = plugins() + name;
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile appRun(folder + u"/AppRun"_s);
        ASSERT_TRUE(appRun.open(QIODevice::WriteOnly));
        appRun.write("#!/bin/sh\necho $$ >> \"$HOME/started\"\nexec sleep 60\n");
        appRun.close();
        appRun.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QList<qint64> started() const {
        QList<qint64> pids;
        const QByteArray text = test::readFile(home.filePath(u"started"_s));
        for (const QByteArray &line : text.split('\n')) {
            if (!line.isEmpty())
                pids.append(line.toLongLong());
        }
        return pids;
    }
    static bool runs(qint64 pid) {
        const QByteArray stat = test::readFile(u"/proc/%1/stat"_s.arg(pid));
        const qsizetype nameEnd = stat.lastIndexOf(')');
        return nameEnd > 0 && stat.size() > nameEnd + 2 && stat.at(nameEnd + 2) != 'Z';
    }
    QStringList logLines() const {
        return QString::fromUtf8(test::readFile(services.locations().logFileURL)).split(u'\n');
    }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    Services services{Configuration::fromEnvironment(), alerts};
    PluginRegistration registration{services};
    int finishedCount = 0;
};

TEST_F(PluginRegistrationTest, StartsEveryApplicationOnceAndEndsAllButTheMaps) {
    addApplication(u"Glow Plugin.app"_s);
    addApplication(u"Shake's \"FX\" $(x).app"_s);
    addApplication(u"KLVMaps.app"_s);
    ASSERT_TRUE(QDir().mkpath(plugins() + u"__MACOSX"_s));
    QFile(plugins() + u".DS_Store"_s).open(QIODevice::WriteOnly);
    // A stray file is tried like the rest and does not stop the run.
    QFile(plugins() + u"notes.txt"_s).open(QIODevice::WriteOnly);

    ASSERT_TRUE(registration.runFxRun());
    EXPECT_TRUE(registration.isRunning());
    EXPECT_FALSE(registration.runFxRun()) << "one run at a time";
    ASSERT_TRUE(test::waitUntil([&] { return finishedCount == 1; }));

    ASSERT_EQ(started().size(), 3);
    int stillRunning = 0;
    for (const qint64 pid : started())
        stillRunning += runs(pid) ? 1 : 0;
    EXPECT_EQ(stillRunning, 1) << "only the maps application keeps running";
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
