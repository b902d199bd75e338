#include "SignedInKlvTest.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

class InstallationQueueCliTest : public SignedInKlvTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(SignedInKlvTest::SetUp());
        ASSERT_TRUE(QDir().mkpath(QFileInfo(lockPath()).path()));
    }

    void start(QProcess &klv, const QStringList &arguments) const {
        klv.setProcessEnvironment(environment());
        klv.setReadChannel(QProcess::StandardError);
        klv.start(QString::fromUtf8(KLV_CLI_BINARY), arguments);
        klv.closeWriteChannel();
    }
    // What the process said on its message stream until it said the text (or 30 s passed).
    static QString messagesUntil(QProcess &klv, const QString &text) {
        return QString::fromUtf8(readUntil(klv, QProcess::StandardError, text.toUtf8(), 30'000));
    }
    QString lockPath() const {
        return home.filePath(u".local/share/klv-app/Applications/Vantory/KLV-Installation.lock"_s);
    }
    bool installed() const {
        return QFileInfo::exists(
            home.filePath(u"Videos/Motion Templates.localized/Titles.localized/KLV - Fixture Titles"_s));
    }
};

TEST_F(InstallationQueueCliTest, AProcessWaitsForTheOneInstallingInTheSameHome) {
    QLockFile other(lockPath());
    ASSERT_TRUE(other.tryLock(0));

    QProcess install;
    start(install, {u"install"_s, u"Fixture Titles"_s});
    const QString said = messagesUntil(install, u"Ctrl-C"_s);
    EXPECT_TRUE(said.contains(u"Waiting for "_s) &&
                said.contains(u"(process %1)"_s.arg(QCoreApplication::applicationPid())))
        << said.toStdString();
    EXPECT_EQ(install.state(), QProcess::Running);
    EXPECT_FALSE(installed()) << "nothing changes while the other process installs";

    other.unlock();
    ASSERT_TRUE(install.waitForFinished(60'000));
    EXPECT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    EXPECT_EQ(install.readAllStandardOutput(), "Installed Fixture Titles\n");
    EXPECT_TRUE(installed());
}

TEST_F(InstallationQueueCliTest, CtrlCWhileWaitingChangesNothing) {
    ASSERT_EQ(runKlv({u"install"_s, u"Fixture Titles"_s}, environment()).exitCode, 0);
    QLockFile other(lockPath());
    ASSERT_TRUE(other.tryLock(0));

    QProcess uninstall;
    start(uninstall, {u"uninstall"_s, u"Fixture Titles"_s, u"--yes"_s});
    ASSERT_TRUE(messagesUntil(uninstall, u"Ctrl-C"_s).contains(u"Waiting for "_s));
    ::kill(static_cast<pid_t>(uninstall.processId()), SIGINT);
    ASSERT_TRUE(uninstall.waitForFinished(10'000));
    EXPECT_EQ(uninstall.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(uninstall.exitCode(), 130);
    EXPECT_TRUE(uninstall.readAllStandardError().contains("nothing was changed"));
    EXPECT_TRUE(uninstall.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(installed());
    EXPECT_TRUE(other.isLocked());
}

TEST_F(InstallationQueueCliTest, TheLockOfAProcessThatDiedIsTakenOver) {
    ASSERT_EQ(runKlv({u"install"_s, u"Fixture Titles"_s}, environment()).exitCode, 0);
    // A process that ended without releasing its lock: its id, the rest as a lock file of this machine says.
    QProcess ended;
    ended.start(u"sh"_s, {u"-c"_s, u"echo $$"_s});
    ASSERT_TRUE(ended.waitForFinished());
    const QByteArray deadPid = ended.readAllStandardOutput().trimmed();
    QByteArray content;
    {
        QLockFile sample(lockPath());
        ASSERT_TRUE(sample.tryLock(0));
        content = readFile(lockPath());
    }
    content = deadPid + content.sliced(content.indexOf('\n'));
    ASSERT_TRUE(writeFile(lockPath(), content));

    const CliResult result = runKlv({u"uninstall"_s, u"Fixture Titles"_s, u"--yes"_s}, environment());
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_FALSE(result.err.contains(u"Waiting"_s)) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Uninstalled Fixture Titles (fonts and plug-ins kept)\n");
    EXPECT_FALSE(installed());
}

} // namespace
} // namespace klv::test
