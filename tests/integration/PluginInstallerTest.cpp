#include "install/PluginInstaller.h"

#include "library/InstallationItem.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "StoreProcess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

using namespace klv::test;

namespace klv {

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

// A zip written by Python's zipfile, which stores files without their executable bit.
void writeZip(const QString &path, const QJsonObject &entries) {
    QDir().mkpath(QFileInfo(path).path());
    const QString script = u"import json, sys, zipfile\n"
                           u"with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                           u"    for name, data in json.loads(sys.argv[2]).items(): z.writestr(name, data)\n"_s;
    ASSERT_EQ(
        QProcess::execute(u"python3"_s, {u"-c"_s, script, path, QString::fromUtf8(QJsonDocument(entries).toJson())}),
        0);
}

// Alive and not a zombie left to a container's init that never reaps.
bool isRunning(qint64 pid) {
    const QByteArray stat = readFile(u"/proc/%1/stat"_s.arg(pid));
    return !stat.isEmpty() && !stat.sliced(stat.lastIndexOf(')') + 2).startsWith('Z');
}

struct Outcome {
    QList<double> progress;
    std::optional<QString> failure;
};

class PluginInstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(m_catalog.filePath(u"store.json"_s), R"({"accounts": []})");
        ASSERT_TRUE(m_store.start()) << m_store.errorString().toStdString();
        qputenv("KLV_PLUGIN_SITE_URL", (m_store.url() + u"/files/plugins/").toUtf8());
        services = std::make_unique<Services>(Configuration::fromEnvironment(), alerts);
        QDir().mkpath(services->locations().logFolderURL);
        QDir().mkpath(plugins());
        QDir().mkpath(markers());
    }
    void TearDown() override { qunsetenv("KLV_PLUGIN_SITE_URL"); }

    QString plugins() const { return services->locations().pluginsFolderURL; }
    QString markers() const { return home.filePath(u"markers/"_s); }

    // An application whose AppRun notes its process id and keeps running.
    void servePlugin(const QString &name, QJsonObject extraEntries = {}) {
        const QString launcher = u"#!/bin/sh\necho $$ > '"_s + markers() + name + u".pid'\nexec sleep 30\n"_s;
        extraEntries.insert(QString(name + u".app/AppRun"), launcher);
        extraEntries.insert(name + u".app/Contents/Info.plist", u"<plist/>"_s);
        writeZip(m_catalog.filePath(u"files/plugins/"_s + name + u".zip"), extraEntries);
    }

    std::optional<qint64> launchedPid(const QString &name) const {
        bool isNumber = false;
        const qint64 pid = readFile(markers() + name + u".pid").trimmed().toLongLong(&isNumber);
        return isNumber ? std::optional(pid) : std::nullopt;
    }

    Outcome install(const QString &pluginText) {
        InstallationItem job;
        job.product_name = u"Job"_s;
        job.installProcessType = u"new"_s;
        job.downloadExtraInfo.insert(u"fxplug"_s, pluginText);
        PluginInstaller installer({*services, notAutoKillList}, job);
        Outcome outcome;
        QObject::connect(&installer, &JobInstaller::progressed, &installer,
                         [&outcome](const QString &component, double value) {
                             EXPECT_EQ(component, u"FxPlugs Progress");
                             outcome.progress.append(value);
                         });
        QObject::connect(&installer, &JobInstaller::failed, &installer,
                         [&outcome](const QString &message) { outcome.failure = message; });
        installer.start();
        waitUntil([&] { return outcome.failure || outcome.progress.contains(1.0); }, 20'000);
        return outcome;
    }

    QString log() const { return QString::fromUtf8(readFile(services->log().filePath())); }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    QTemporaryDir m_catalog;
    test::StoreProcess m_store{m_catalog.path()};
    // After the store, so that its connections are closed before the store stops.
    std::unique_ptr<Services> services;
    QStringList notAutoKillList;
};

TEST_F(PluginInstallerTest, InstallsEachPluginLaunchesItAndTerminatesAllButTheListedOnes) {
    servePlugin(u"Alpha"_s, {{u"Shared/readme.txt"_s, u"new"_s},
                             {u"Shared/extra.txt"_s, u"extra"_s},
                             {u"__MACOSX/._Alpha.app"_s, u"fork"_s}});
    // The blank after the comma belongs to the second name.
    servePlugin(u" Beta"_s);
    notAutoKillList = {u" Beta"_s, u"Alpha "_s};
    writeFile(plugins() + u"Alpha.app/stale.txt", "old version");
    writeFile(plugins() + u"Shared/readme.txt", "kept");

    const Outcome outcome = install(u"Alpha, Beta"_s);

    ASSERT_FALSE(outcome.failure) << outcome.failure->toStdString();
    EXPECT_EQ(outcome.progress, (QList<double>{0.5, 1.0}));
    EXPECT_FALSE(QFileInfo::exists(plugins() + u"Alpha.app/stale.txt"));
    EXPECT_TRUE(QFileInfo(plugins() + u"Alpha.app/Contents/Info.plist").isFile());
    EXPECT_TRUE(QFileInfo(plugins() + u" Beta.app/AppRun").isExecutable());
    EXPECT_EQ(readFile(plugins() + u"Shared/readme.txt"), "kept");
    EXPECT_EQ(readFile(plugins() + u"Shared/extra.txt"), "extra");
    EXPECT_FALSE(QFileInfo::exists(plugins() + u"__MACOSX"));
    const QString downloads = services->locations().downloadFolderURL;
    EXPECT_EQ(QDir(downloads).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    EXPECT_TRUE(log().contains(u"Done install Alpha.app"));
    EXPECT_TRUE(log().contains(u"Done install  Beta.app"));

    // The listed application was started and keeps running.
    ASSERT_TRUE(waitUntil([&] { return launchedPid(u" Beta"_s).has_value(); }, 5'000));
    const qint64 beta = *launchedPid(u" Beta"_s);
    EXPECT_TRUE(isRunning(beta));
    ::kill(static_cast<pid_t>(beta), SIGKILL);
    // The other one ran before it was terminated.
    const std::optional<qint64> alpha = launchedPid(u"Alpha"_s);
    ASSERT_TRUE(alpha) << "Alpha.app was ended before its AppRun ran";
    EXPECT_TRUE(waitUntil([&] { return !isRunning(*alpha); }, 5'000));
    if (isRunning(*alpha))
        ::kill(static_cast<pid_t>(*alpha), SIGKILL);
}

TEST_F(PluginInstallerTest, AnApplicationThatTakesTimeToStartIsEndedOnlyOnceItIsUp) {
    // Busy for a second (each "date" is a process of its own), then it notes its id and waits.
    const QString launcher = u"#!/bin/sh\nend=$(( $(date +%s%N) / 1000000 + 1000 ))\n"
                             u"while [ $(( $(date +%s%N) / 1000000 )) -lt $end ]; do :; done\n"
                             u"echo $$ > '"_s +
                             markers() + u"Slow.pid'\nexec sleep 30\n"_s;
    writeZip(m_catalog.filePath(u"files/plugins/Slow.zip"_s), {{u"Slow.app/AppRun"_s, launcher}});

    const Outcome outcome = install(u"Slow"_s);

    ASSERT_FALSE(outcome.failure) << outcome.failure->toStdString();
    const std::optional<qint64> slow = launchedPid(u"Slow"_s);
    ASSERT_TRUE(slow) << "Slow.app was ended while it was still starting";
    EXPECT_TRUE(waitUntil([&] { return !isRunning(*slow); }, 5'000));
    if (isRunning(*slow))
        ::kill(static_cast<pid_t>(*slow), SIGKILL);
}

TEST_F(PluginInstallerTest, AFailedDownloadOrDamagedArchiveFailsTheJobAndKeepsTheOldVersions) {
    writeFile(m_catalog.filePath(u"files/plugins/Broken.zip"_s), "<html>not an archive</html>");
    servePlugin(u"Alpha"_s);
    for (const QString &name : {u"Missing"_s, u"Broken"_s}) {
        SCOPED_TRACE(name.toStdString());
        writeFile(plugins() + name + u".app/Contents/old", "old version");
        writeFile(plugins() + u"Alpha.app/old", "old Alpha");

        // Alpha may be placed before the other one fails; it is taken back then.
        InstallationItem job;
        job.product_name = u"Job"_s;
        job.downloadExtraInfo.insert(u"fxplug"_s, QString(u"Alpha,"_s + name));
        PluginInstaller installer({*services, notAutoKillList}, job);
        std::optional<QString> failure;
        QObject::connect(&installer, &JobInstaller::failed, &installer,
                         [&failure](const QString &message) { failure = message; });
        installer.start();
        ASSERT_TRUE(waitUntil([&] { return failure && installer.isStopped(); }, 20'000));

        EXPECT_TRUE(failure->contains(name)) << failure->toStdString();
        EXPECT_EQ(readFile(plugins() + name + u".app/Contents/old"), "old version");
        EXPECT_EQ(readFile(plugins() + u"Alpha.app/old"), "old Alpha");
        EXPECT_FALSE(QFileInfo::exists(plugins() + u"Alpha.app/AppRun"));
        EXPECT_EQ(QDir(plugins()).entryList({u".*"_s}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList())
            << "no staging folder stays";
        EXPECT_FALSE(QFileInfo::exists(services->locations().downloadFolderURL + name + u".zip"));
    }
}

TEST_F(PluginInstallerTest, TheOldVersionStaysAsideUntilTheJobIsKeptOrTakenBack) {
    servePlugin(u"Alpha"_s);
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        writeFile(plugins() + u"Alpha.app/old", "old Alpha");
        InstallationItem job;
        job.product_name = u"Job"_s;
        job.downloadExtraInfo.insert(u"fxplug"_s, u"Alpha"_s);
        PluginInstaller installer({*services, notAutoKillList}, job);
        bool done = false;
        QObject::connect(&installer, &JobInstaller::progressed, &installer,
                         [&done](const QString &, double value) { done = value == 1.0; });
        installer.start();
        ASSERT_TRUE(waitUntil([&] { return done; }, 20'000));
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
    writeFile(plugins() + u"Alpha.app/old", "old version");
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
    EXPECT_TRUE(log().contains(u"install Plugin for Job"));
}

} // namespace
} // namespace klv
