#include "core/HostAppGuard.h"
#include "core/Shell.h"
#include "store/HostAppCheck.h"
#include "store/LogFile.h"
#include "store/Reporter.h"

#include "ScriptedAlerts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

TEST(Shell, CapturesMergedOutputWholeAndKeepsLineBreaks) {
    EXPECT_EQ(runShell(u"echo word"_s, true), u"word\n");
    EXPECT_EQ(runShell(u"echo out; echo err >&2"_s, true), u"out\nerr\n");
    EXPECT_EQ(runShell(u"echo printed"_s, false), u"");

    const QString big = runShell(u"for i in {1..3000}; do echo \"line $i äöü\"; done"_s, true);
    EXPECT_EQ(big.count(u'\n'), 3000);
    EXPECT_TRUE(big.startsWith(u"line 1 äöü\n"));
    EXPECT_TRUE(big.endsWith(u"line 3000 äöü\n"));
}

TEST(Shell, ACommandThatFailsGivesItsErrorText) {
    EXPECT_TRUE(runShell(u"/nonexistent/tool"_s, true).contains(u"no such file or directory"));
}

// Starts a process whose path looks like a host application's executable inside its bundle.
class FakeHostApp {
public:
    FakeHostApp(const QTemporaryDir &dir, const QString &bundle, const QString &executable) {
        const QString folder = dir.filePath(bundle + u"/Contents/MacOS");
        QDir().mkpath(folder);
        const QString path = folder + u'/' + executable;
        QFile::copy(u"/bin/sleep"_s, path);
        process.start(path, {u"60"_s});
        process.waitForStarted();
        // Started is not yet asleep: until sleep has loaded, a check of what the guard did would read "running".
        test::waitUntil([this] { return status().contains("\nState:\tS"); });
    }
    ~FakeHostApp() {
        process.kill();
        process.waitForFinished();
    }
    bool endsWithinSeconds(int seconds) { return process.waitForFinished(seconds * 1000); }
    // Still asleep with no signal on its way: nothing asked it to quit. Asked, it would be woken, ending or gone.
    bool untouched() const {
        const QByteArray now = status();
        return now.contains("\nState:\tS") && now.contains("\nSigPnd:\t0000000000000000\n") &&
               now.contains("\nShdPnd:\t0000000000000000\n");
    }
    QByteArray status() const { return test::readFile(u"/proc/%1/status"_s.arg(process.processId())); }

    QProcess process;
};

class HostAppGuardTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    LogFile log{dir.filePath(u"log.txt"_s)};
    test::ScriptedAlerts alerts;
    Reporter reporter{log, alerts};
};

TEST_F(HostAppGuardTest, PassesSilentlyWhenNoHostRuns) {
    EXPECT_TRUE(checkHostAppsClosed(reporter));
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(HostAppGuardTest, NamesOnlyMotionAndClosesItWhenAsked) {
    FakeHostApp motion(dir, u"Motion.app"_s, u"Motion"_s);
    alerts.answers = {1};
    EXPECT_FALSE(checkHostAppsClosed(reporter));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].title, u"Alert");
    EXPECT_EQ(alerts.shown[0].message, u"Please close \"Motion\" before proceeding with installation.");
    EXPECT_EQ(alerts.shown[0].buttons, (QStringList{u"OK"_s, u"Close FCP/Motion"_s}));
    EXPECT_TRUE(motion.endsWithinSeconds(10));
}

TEST_F(HostAppGuardTest, ClosesOnlyTheHostProcessesItFound) {
    FakeHostApp motion(dir, u"Motion.app"_s, u"Motion"_s);
    // Same process name, but not the host application's bundle: it must keep running.
    FakeHostApp namesake(dir, u"Other Tools"_s, u"Motion"_s);
    const OpenHostApps found = findOpenHostApps();
    EXPECT_TRUE(found.motion);
    EXPECT_FALSE(found.finalCutPro);
    EXPECT_EQ(found.motionPids, QList<qint64>{motion.process.processId()});
    EXPECT_TRUE(found.motionLines.startsWith(QString::number(motion.process.processId()) + u' '));

    closeHostApps(found);
    EXPECT_TRUE(motion.endsWithinSeconds(10));
    EXPECT_TRUE(namesake.untouched());
}

TEST_F(HostAppGuardTest, NamesBothAndLeavesThemRunningOnOk) {
    FakeHostApp motion(dir, u"Motion.app"_s, u"Motion"_s);
    FakeHostApp finalCut(dir, u"Final Cut Pro.app"_s, u"Final Cut Pro"_s);
    EXPECT_FALSE(checkHostAppsClosed(reporter));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message,
              u"Please close \"Final Cut Pro\" and \"Motion\" before proceeding with installation.");
    EXPECT_TRUE(motion.untouched());
    EXPECT_TRUE(finalCut.untouched());

    QFile file(log.filePath());
    file.open(QIODevice::ReadOnly);
    const QString logged = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(logged.contains(u"This still open :")) << logged.toStdString();
    // The process list's line breaks stay inside its one log entry.
    EXPECT_TRUE(logged.contains(u"Final Cut Pro.app/Contents/MacOS/Final Cut Pro 60\\n and  "));
}

} // namespace
} // namespace klv
