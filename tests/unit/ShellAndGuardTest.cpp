#include "core/HostAppGuard.h"
#include "core/Shell.h"
#include "store/HostAppCheck.h"
#include "store/LogFile.h"
#include "store/Reporter.h"

#include "ScriptedAlerts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace klv {
namespace {

TEST(Shell, CapturesMergedOutputWholeAndKeepsLineBreaks) {
    EXPECT_EQ(runShell(QStringLiteral("echo word"), true), u"word\n");
    EXPECT_EQ(runShell(QStringLiteral("echo out; echo err >&2"), true), u"out\nerr\n");
    EXPECT_EQ(runShell(QStringLiteral("echo printed"), false), u"");

    const QString big = runShell(QStringLiteral("for i in {1..3000}; do echo \"line $i äöü\"; done"), true);
    EXPECT_EQ(big.count(u'\n'), 3000);
    EXPECT_TRUE(big.startsWith(u"line 1 äöü\n"));
    EXPECT_TRUE(big.endsWith(u"line 3000 äöü\n"));
}

TEST(Shell, ACommandThatFailsGivesItsErrorText) {
    EXPECT_TRUE(runShell(QStringLiteral("/nonexistent/tool"), true).contains(u"no such file or directory"));
}

// Starts a process whose path looks like a host application's executable inside its bundle.
class FakeHostApp {
public:
    FakeHostApp(const QTemporaryDir &dir, const QString &bundle, const QString &executable) {
        const QString folder = dir.filePath(bundle + u"/Contents/MacOS");
        QDir().mkpath(folder);
        const QString path = folder + u'/' + executable;
        QFile::copy(QStringLiteral("/bin/sleep"), path);
        process.start(path, {QStringLiteral("60")});
        process.waitForStarted();
    }
    ~FakeHostApp() {
        process.kill();
        process.waitForFinished();
    }
    bool endsWithinSeconds(int seconds) { return process.waitForFinished(seconds * 1000); }

    QProcess process;
};

class HostAppGuardTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    LogFile log{dir.filePath(QStringLiteral("log.txt"))};
    test::ScriptedAlerts alerts;
    Reporter reporter{log, alerts};
};

TEST_F(HostAppGuardTest, PassesSilentlyWhenNoHostRuns) {
    EXPECT_TRUE(checkHostAppsClosed(reporter));
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(HostAppGuardTest, NamesOnlyMotionAndClosesItWhenAsked) {
    FakeHostApp motion(dir, QStringLiteral("Motion.app"), QStringLiteral("Motion"));
    alerts.answers = {1};
    EXPECT_FALSE(checkHostAppsClosed(reporter));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].title, u"Alert");
    EXPECT_EQ(alerts.shown[0].message, u"Please close \"Motion\" before proceeding with installation.");
    EXPECT_EQ(alerts.shown[0].buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Close FCP/Motion")}));
    EXPECT_TRUE(motion.endsWithinSeconds(10));
}

TEST_F(HostAppGuardTest, ClosesOnlyTheHostProcessesItFound) {
    FakeHostApp motion(dir, QStringLiteral("Motion.app"), QStringLiteral("Motion"));
    // Same process name, but not the host application's bundle: it must keep running.
    FakeHostApp namesake(dir, QStringLiteral("Other Tools"), QStringLiteral("Motion"));
    const OpenHostApps found = findOpenHostApps();
    EXPECT_TRUE(found.motion);
    EXPECT_FALSE(found.finalCutPro);
    EXPECT_EQ(found.motionPids, QList<qint64>{motion.process.processId()});
    EXPECT_TRUE(found.motionLines.startsWith(QString::number(motion.process.processId()) + u' '));

    closeHostApps(found);
    EXPECT_TRUE(motion.endsWithinSeconds(10));
    EXPECT_FALSE(namesake.endsWithinSeconds(1));
}

TEST_F(HostAppGuardTest, NamesBothAndLeavesThemRunningOnOk) {
    FakeHostApp motion(dir, QStringLiteral("Motion.app"), QStringLiteral("Motion"));
    FakeHostApp finalCut(dir, QStringLiteral("Final Cut Pro.app"), QStringLiteral("Final Cut Pro"));
    EXPECT_FALSE(checkHostAppsClosed(reporter));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message,
              u"Please close \"Final Cut Pro\" and \"Motion\" before proceeding with installation.");
    EXPECT_FALSE(motion.endsWithinSeconds(1));
    EXPECT_EQ(finalCut.process.state(), QProcess::Running);

    QFile file(log.filePath());
    file.open(QIODevice::ReadOnly);
    const QString logged = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(logged.contains(u"This still open :")) << logged.toStdString();
    // The process list's line breaks stay inside its one log entry.
    EXPECT_TRUE(logged.contains(u"Final Cut Pro.app/Contents/MacOS/Final Cut Pro 60\\n and  "));
}

} // namespace
} // namespace klv
