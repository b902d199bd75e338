#include "install/PluginInstaller.h"

#include "InstallerFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QThreadPool>

#include <optional>

#include <signal.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using test::readFile;
using test::waitUntil;
using test::writeFile;

// Alive and not a zombie left to a container's init that never reaps.
bool isRunning(qint64 pid) {
    const QByteArray stat = readFile(u"/proc/%1/stat"_s.arg(pid));
    return !stat.isEmpty() && !stat.sliced(stat.lastIndexOf(')') + 2).startsWith('Z');
}

struct Outcome {
    QList<double> progress;
    std::optional<QString> failure;
};

class PluginInstallerTest : public test::InstallerFixture {
protected:
    void SetUp() override {
        InstallerFixture::SetUp();
        QDir().mkpath(plugins());
        QDir().mkpath(markers());
    }

    QString plugins() const { return context->services().locations().pluginsFolderURL; }
    QString markers() const { return home.filePath(u"markers/"_s); }

    // An application whose AppRun notes its process id and keeps running; zipped without its executable bit, as
    // Python's zipfile stores files.
    void servePlugin(const QString &name, QList<std::pair<QString, QString>> extraEntries = {}) {
        const QString launcher = u"#!/bin/sh\necho $$ > '"_s + markers() + name + u".pid'\nexec sleep 30\n"_s;
        extraEntries.append({name + u".app/AppRun"_s, launcher});
        extraEntries.append({name + u".app/Contents/Info.plist"_s, u"<plist/>"_s});
        serveZip(u"plugins/"_s + name + u".zip"_s, extraEntries);
    }

    std::optional<qint64> launchedPid(const QString &name) const {
        bool isNumber = false;
        const qint64 pid = readFile(markers() + name + u".pid").trimmed().toLongLong(&isNumber);
        return isNumber ? std::optional(pid) : std::nullopt;
    }

    static InstallationItem pluginJob(const QString &pluginText) {
        InstallationItem item = job(u"Job"_s, {});
        item.installProcessType = u"new"_s;
        item.downloadExtraInfo.insert(u"fxplug"_s, pluginText);
        return item;
    }

    Outcome install(const QString &pluginText) {
        PluginInstaller installer({context->services(), notAutoKillList}, pluginJob(pluginText));
        Outcome outcome;
        QObject::connect(&installer, &JobInstaller::progressed, &installer,
                         [&outcome](const QString &component, double value) {
                             EXPECT_EQ(component, u"FxPlugs Progress");
                             outcome.progress.append(value);
                         });
        QObject::connect(&installer, &JobInstaller::failed, &installer,
                         [&outcome](const QString &message) { outcome.failure = message; });
        installer.start();
        waitUntil([&] { return outcome.failure || outcome.progress.contains(1.0); });
        if (!outcome.failure) {
            installer.commit();
            QThreadPool::globalInstance()->waitForDone();
        }
        return outcome;
    }
};

TEST_F(PluginInstallerTest, InstallsEachPluginLaunchesItAndTerminatesAllButTheListedOnes) {
    servePlugin(u"Alpha"_s, {{u"Shared/readme.txt"_s, u"new"_s},
                             {u"Shared/extra.txt"_s, u"extra"_s},
                             {u"__MACOSX/._Alpha.app"_s, u"fork"_s}});
    // The blank after the comma belongs to the second name.
    servePlugin(u" Beta"_s);
    notAutoKillList = {u" Beta"_s, u"Alpha "_s};
    ASSERT_TRUE(writeFile(plugins() + u"Alpha.app/stale.txt", "old version"));
    ASSERT_TRUE(writeFile(plugins() + u"Shared/readme.txt", "kept"));

    const Outcome outcome = install(u"Alpha, Beta"_s);

    ASSERT_FALSE(outcome.failure) << outcome.failure->toStdString();
    EXPECT_EQ(outcome.progress, (QList<double>{0.5, 1.0}));
    EXPECT_FALSE(QFileInfo::exists(plugins() + u"Alpha.app/stale.txt"));
    EXPECT_TRUE(QFileInfo(plugins() + u"Alpha.app/Contents/Info.plist").isFile());
    EXPECT_TRUE(QFileInfo(plugins() + u" Beta.app/AppRun").isExecutable());
    EXPECT_EQ(readFile(plugins() + u"Shared/readme.txt"), "kept");
    EXPECT_EQ(readFile(plugins() + u"Shared/extra.txt"), "extra");
    EXPECT_FALSE(QFileInfo::exists(plugins() + u"__MACOSX"));
    const QString downloads = context->services().locations().downloadFolderURL;
    EXPECT_EQ(QDir(downloads).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    EXPECT_TRUE(logText().contains(u"Done install Alpha.app"));
    EXPECT_TRUE(logText().contains(u"Done install  Beta.app"));

    // The listed application was started and keeps running.
    ASSERT_TRUE(waitUntil([&] { return launchedPid(u" Beta"_s).has_value(); }));
    const qint64 beta = *launchedPid(u" Beta"_s);
    EXPECT_TRUE(isRunning(beta));
    ::kill(static_cast<pid_t>(beta), SIGKILL);
    // The other one ran before it was terminated.
    const std::optional<qint64> alpha = launchedPid(u"Alpha"_s);
    ASSERT_TRUE(alpha) << "Alpha.app was ended before its AppRun ran";
    EXPECT_TRUE(waitUntil([&] { return !isRunning(*alpha); }));
    if (isRunning(*alpha))
        ::kill(static_cast<pid_t>(*alpha), SIGKILL);
}

TEST_F(PluginInstallerTest, AnApplicationThatTakesTimeToStartIsEndedOnlyOnceItIsUp) {
    // Busy for a second (each "date" is a process of its own), then it notes its id and waits.
    const QString launcher = u"#!/bin/sh\nend=$(( $(date +%s%N) / 1000000 + 1000 ))\n"
                             u"while [ $(( $(date +%s%N) / 1000000 )) -lt $end ]; do :; done\n"
                             u"echo $$ > '"_s +
                             markers() + u"Slow.pid'\nexec sleep 30\n"_s;
    serveZip(u"plugins/Slow.zip"_s, {{u"Slow.app/AppRun"_s, launcher}});

    const Outcome outcome = install(u"Slow"_s);

    ASSERT_FALSE(outcome.failure) << outcome.failure->toStdString();
    const std::optional<qint64> slow = launchedPid(u"Slow"_s);
    ASSERT_TRUE(slow) << "Slow.app was ended while it was still starting";
    EXPECT_TRUE(waitUntil([&] { return !isRunning(*slow); }));
    if (isRunning(*slow))
        ::kill(static_cast<pid_t>(*slow), SIGKILL);
}

TEST_F(PluginInstallerTest, AFailedDownloadOrDamagedArchiveFailsTheJobAndKeepsTheOldVersions) {
    serve(u"plugins/Broken.zip"_s, "<html>not an archive</html>");
    servePlugin(u"Alpha"_s);
    for (const QString &name : {u"Missing"_s, u"Broken"_s}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(writeFile(plugins() + name + u".app/Contents/old", "old version"));
        ASSERT_TRUE(writeFile(plugins() + u"Alpha.app/old", "old Alpha"));

        // Alpha may be placed before the other one fails; it is taken back then.
        PluginInstaller installer({context->services(), notAutoKillList}, pluginJob(u"Alpha,"_s + name));
        std::optional<QString> failure;
        QObject::connect(&installer, &JobInstaller::failed, &installer,
                         [&failure](const QString &message) { failure = message; });
        installer.start();
        ASSERT_TRUE(waitUntil([&] { return failure && installer.isStopped(); }));

        EXPECT_TRUE(failure->contains(name)) << failure->toStdString();
        EXPECT_EQ(readFile(plugins() + name + u".app/Contents/old"), "old version");
        EXPECT_EQ(readFile(plugins() + u"Alpha.app/old"), "old Alpha");
        EXPECT_FALSE(QFileInfo::exists(plugins() + u"Alpha.app/AppRun"));
        EXPECT_EQ(QDir(plugins()).entryList({u".*"_s}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList())
            << "no staging folder stays";
        EXPECT_FALSE(QFileInfo::exists(context->services().locations().downloadFolderURL + name + u".zip"));
    }
}

TEST_F(PluginInstallerTest, TheOldVersionStaysAsideUntilTheJobIsKeptOrTakenBack) {
    servePlugin(u"Alpha"_s);
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        ASSERT_TRUE(writeFile(plugins() + u"Alpha.app/old", "old Alpha"));
        PluginInstaller installer({context->services(), notAutoKillList}, pluginJob(u"Alpha"_s));
        bool done = false;
        QObject::connect(&installer, &JobInstaller::progressed, &installer,
                         [&done](const QString &, double value) { done = value == 1.0; });
        installer.start();
        ASSERT_TRUE(waitUntil([&] { return done; }));
        EXPECT_TRUE(QFileInfo::exists(plugins() + u"Alpha.app/AppRun"));
        if (keep) {
            installer.commit();
            EXPECT_TRUE(waitUntil([&] {
                return QDir(plugins()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) ==
                       QStringList{u"Alpha.app"_s};
            })) << "the old version is removed";
            EXPECT_FALSE(QFileInfo::exists(plugins() + u"Alpha.app/old"));
        } else {
            // Another component of the job failed.
            installer.cancel();
            ASSERT_TRUE(waitUntil([&] { return installer.isStopped(); }));
            EXPECT_EQ(readFile(plugins() + u"Alpha.app/old"), "old Alpha");
            EXPECT_FALSE(QFileInfo::exists(plugins() + u"Alpha.app/AppRun"));
            EXPECT_EQ(QDir(plugins()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                      QStringList{u"Alpha.app"_s});
        }
    }
}

TEST_F(PluginInstallerTest, ANameThatCannotBeAFileNameFailsBeforeAnythingChanges) {
    servePlugin(u"Alpha"_s);
    ASSERT_TRUE(writeFile(plugins() + u"Alpha.app/old", "old version"));
    for (const QString &text :
         QStringList{u"Alpha,.."_s, u"Alpha,a/b"_s, u"Alpha,"_s, u"Alpha,"_s + QString(300, u'x')}) {
        const Outcome outcome = install(text);
        ASSERT_TRUE(outcome.failure) << text.toStdString();
        EXPECT_TRUE(outcome.failure->contains(u"cannot be used as a file name")) << outcome.failure->toStdString();
        EXPECT_EQ(readFile(plugins() + u"Alpha.app/old"), "old version");
    }
}

TEST_F(PluginInstallerTest, NoPluginsIsDoneAtOnce) {
    EXPECT_EQ(install(QString()).progress, QList<double>{1.0});
    EXPECT_TRUE(logText().contains(u"install Plugin for Job"));
}

} // namespace
} // namespace klv
