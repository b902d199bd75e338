#include "CliRun.h"
#include "SandboxHome.h"
#include "StoreProcess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

#include <csignal>

#include <unistd.h>

namespace klv::test {
namespace {

class InstallCliTest : public ::testing::Test {
protected:
    static constexpr qsizetype largeTemplateCount = 800;

    void SetUp() override {
        copyFolder(QStringLiteral(KLV_INSTALL_FIXTURE_DIR), catalog.path());
        ASSERT_TRUE(store.start()) << store.errorString().toStdString();
        ASSERT_EQ(
            klv({QStringLiteral("login"), QStringLiteral("tester"), QStringLiteral("--password-stdin")}, "secret\n")
                .exitCode,
            0);
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = home.environment();
        environment.insert(QStringLiteral("KLV_STORE_URL"), store.url());
        environment.insert(QStringLiteral("KLV_PLUGIN_SITE_URL"), store.url() + u"/files/plugins/");
        environment.insert(QStringLiteral("KLV_FONT_STORE_URL"), store.url() + u"/files/fonts/");
        return environment;
    }
    CliResult klv(const QStringList &arguments, const QByteArray &input = {}) const {
        return runKlv(arguments, environment(), input);
    }
    CliResult install(const QStringList &names) const { return klv(QStringList{QStringLiteral("install")} + names); }
    QStringList installedNames() const {
        const CliResult result = klv({QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--filter"),
                                      QStringLiteral("installed")});
        QStringList names;
        for (const QJsonValue &row : QJsonDocument::fromJson(result.out.toUtf8())[u"products"].toArray())
            names << row[u"fullName"].toString();
        return names;
    }
    QString motion(const QString &type, const QString &relative) const {
        return home.filePath(u"Videos/Motion Templates.localized/" + type + u".localized/" + relative);
    }
    QString data(const QString &relative) const { return home.filePath(u".local/share/" + relative); }
    QString vantory(const QString &relative) const { return data(u"klv-app/Applications/Vantory/" + relative); }
    void addFault(const QJsonObject &fault) const {
        const QString path = catalog.filePath(QStringLiteral("store.json"));
        QJsonObject root = QJsonDocument::fromJson(readFile(path)).object();
        QJsonArray faults = root[u"faults"].toArray();
        faults.append(fault);
        root[u"faults"] = faults;
        QSaveFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(root).toJson());
        ASSERT_TRUE(out.commit());
    }
    // Nothing of a failed job may look installed: no template folder, no row marked installed.
    void expectNothingInstalled(const QString &name) const {
        for (const QString &type : {u"Titles"_qs, u"Effects"_qs, u"Transitions"_qs, u"Generators"_qs})
            EXPECT_FALSE(QFileInfo::exists(motion(type, u"KLV - " + name))) << name.toStdString();
        EXPECT_FALSE(installedNames().contains(name)) << name.toStdString();
    }

    // Replaces the package of Fixture Titles with one of largeTemplateCount template folders per type.
    void serveLargeTitles() const {
        ASSERT_EQ(
            QProcess::execute(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral(R"(import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for t in ('Titles', 'Transitions'):
        for i in range(int(sys.argv[2])):
            z.writestr('Fixture Titles/%s/KLV - Fixture Titles/T%04d/T%04d.moti' % (t, i, i), '\t<layout>1\n')
)"),
                                                          catalog.filePath(u"files/templates/fixture-titles.zip"_qs),
                                                          QString::number(largeTemplateCount)}),
            0);
    }
    // Every file below a folder, relative to it and sorted.
    static QStringList filesBelow(const QString &folder) {
        QStringList files;
        for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            files << QDir(folder).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    SandboxHome home;
    QTemporaryDir catalog;
    StoreProcess store{catalog.path()};
};

TEST_F(InstallCliTest, TemplatesLandInTheirTypeFoldersPrepared) {
    const CliResult result = install({QStringLiteral("Fixture Titles")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Installed Fixture Titles\n");

    const QByteArray lowerThird =
        readFile(motion(u"Titles"_qs, u"KLV - Fixture Titles/Lower Third/Lower Third.moti"_qs));
    EXPECT_EQ(lowerThird.count("<canvas>\n\t<layout>1"), 3) << lowerThird.toStdString();
    EXPECT_EQ(readFile(motion(u"Titles"_qs, u"KLV - Fixture Titles/Headline/Headline.moti"_qs)).count("<canvas>"), 1);
    EXPECT_TRUE(readFile(motion(u"Transitions"_qs, u"KLV - Fixture Titles/Wipe/Wipe.motr"_qs)).contains("<canvas>"));
    EXPECT_TRUE(installedNames().contains(u"Fixture Titles"_qs));
    EXPECT_FALSE(QFileInfo::exists(vantory(u"KLV-Download/Fixture Titles"_qs))) << "the job folder is cleaned up";
}

TEST_F(InstallCliTest, PluginsFontsAndLutsInstallBesideTheTemplates) {
    const CliResult result = install({QStringLiteral("Fixture Plugins"), QStringLiteral("Fixture Extras")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Installed Fixture Plugins\nInstalled Fixture Extras\n2 installed\n") << "jobs run in order";
    EXPECT_TRUE(QFileInfo(vantory(u"Plugins/KLV Fixture Glow.app/AppRun"_qs)).isExecutable());
    EXPECT_TRUE(QFileInfo(vantory(u"Plugins/KLV Fixture Helper.app/AppRun"_qs)).isExecutable());
    EXPECT_TRUE(readFile(home.filePath(QStringLiteral(".klv-plugin-runs"))).contains("KLV Fixture Helper"))
        << "the plug-in that stays running was started";
    EXPECT_TRUE(QFileInfo::exists(data(u"fonts/Fixture Sans.ttf"_qs)));
    EXPECT_TRUE(QFileInfo::exists(data(u"fonts/Fixture Serif.otf"_qs)));
    EXPECT_FALSE(QFileInfo::exists(data(u"fonts/Fixture Missing.ttf"_qs))) << "an error page is never a font";
    EXPECT_FALSE(QFileInfo::exists(data(u"fonts/Fixture Missing.otf"_qs)));
    QDir luts(data(u"klv-app/Library/Application Support/ProApps/Custom LUTs"_qs));
    EXPECT_FALSE(luts.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(InstallCliTest, GroupsResolveBundlesAndCompositesInstall) {
    const CliResult result = install({QStringLiteral("Fixture Bundle"), QStringLiteral("Fixture Grade DVR"),
                                      QStringLiteral("Fixture Scratches"), QStringLiteral("Fixture Flares")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(QFileInfo(motion(u"Titles"_qs, u"KLV - Fixture Alpha"_qs)).isDir());
    EXPECT_TRUE(QFileInfo(motion(u"Effects"_qs, u"KLV - Fixture Beta"_qs)).isDir());
    EXPECT_TRUE(QFileInfo::exists(data(u"DaVinciResolve/Fusion/Templates/KLV - Fixture Grade DVR.drfx"_qs)));
    EXPECT_TRUE(QFileInfo(home.filePath(QStringLiteral("Videos/KLV Composite/Fixture Scratches"))).isDir());
    EXPECT_TRUE(QFileInfo::exists(home.filePath(QStringLiteral("Videos/KLV Composite/Fixture Flares.mov"))));
    const QStringList installed = installedNames();
    for (const QString &name :
         {u"Fixture Bundle"_qs, u"Fixture Grade DVR"_qs, u"Fixture Scratches"_qs, u"Fixture Flares"_qs})
        EXPECT_TRUE(installed.contains(name)) << name.toStdString() << " in " << installed.join(u", ").toStdString();
}

TEST_F(InstallCliTest, AlreadyInstalledIsRefusedOnInstallButUpdated) {
    ASSERT_EQ(install({QStringLiteral("Fixture Titles")}).exitCode, 0);
    QFile stray(motion(u"Titles"_qs, u"KLV - Fixture Titles/Retired Template/stray.txt"_qs));
    QDir().mkpath(QFileInfo(stray).path());
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();
    QDir().mkpath(motion(u"Titles"_qs, u"KLV - Fixture Titles Classic"_qs));

    const CliResult again = install({QStringLiteral("Fixture Titles")});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains(u"already installed")) << again.err.toStdString();
    EXPECT_TRUE(stray.exists());

    ASSERT_TRUE(releaseUpdate(catalog.path(), u"Fixture Titles"_qs));
    const CliResult update = klv({QStringLiteral("update"), QStringLiteral("--yes"), QStringLiteral("Fixture Titles")});
    EXPECT_EQ(update.exitCode, 0) << update.err.toStdString();
    EXPECT_FALSE(stray.exists()) << "a template folder of the package is replaced whole";
    EXPECT_TRUE(QFileInfo(motion(u"Titles"_qs, u"KLV - Fixture Titles Classic"_qs)).isDir())
        << "folders the new version does not have stay";
    EXPECT_TRUE(readFile(motion(u"Titles"_qs, u"KLV - Fixture Titles/Headline/Headline.moti"_qs)).contains("<canvas>"));
}

TEST_F(InstallCliTest, DuplicateRequestsQueueOneJob) {
    // The first job is still downloading when the second answer arrives.
    addFault(QJsonObject{
        {u"path"_qs, u"/files/templates/fixture-titles.zip"_qs}, {u"kind"_qs, u"delay"_qs}, {u"delayMs"_qs, 1500}});
    const CliResult result = install({QStringLiteral("Fixture Titles"), QStringLiteral("Fixture Titles")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Installed Fixture Titles\n");
}

TEST_F(InstallCliTest, BadPackagesFailClearlyAndInstallNothing) {
    addFault(QJsonObject{
        {u"path"_qs, u"/files/templates/fixture-alpha.zip"_qs}, {u"kind"_qs, u"status"_qs}, {u"status"_qs, 500}});
    addFault(QJsonObject{
        {u"path"_qs, u"/files/templates/fixture-beta.zip"_qs}, {u"kind"_qs, u"truncate"_qs}, {u"bytes"_qs, 200}});
    const QStringList broken{u"Fixture Alpha"_qs,  u"Fixture Beta"_qs,       u"Fixture Corrupt"_qs,
                             u"Fixture Dotdot"_qs, u"Fixture Absolute"_qs,   u"Fixture Symlink"_qs,
                             u"Fixture A/B"_qs,    u"Fixture Broken Link"_qs};
    const CliResult result = install(broken + QStringList{u"Fixture Titles"_qs});
    EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
    for (const QString &name : broken) {
        EXPECT_TRUE(result.out.contains(u"Failed " + name)) << name.toStdString() << result.out.toStdString();
        EXPECT_TRUE(result.err.contains(u"Alert: Installing " + name + u" failed: ")) << name.toStdString();
        expectNothingInstalled(name);
    }
    EXPECT_TRUE(result.out.endsWith(u"Installed Fixture Titles\n1 installed, 8 failed\n")) << "the queue moves on";
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/klv-fixture-absolute-evil")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/klv-fixture-symlink-evil")));
    EXPECT_FALSE(QFileInfo::exists(vantory(u"KLV-Download/evil"_qs)));
}

TEST_F(InstallCliTest, AFolderThatRefusesWritesFailsTheJobAndLeavesNothingInstalled) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "a read-only mount needs root";
    const QString transitions = motion(u"Transitions"_qs, QString());
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), transitions, transitions}) != 0)
        GTEST_SKIP() << "no bind mount here";
    const bool readOnly =
        QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), transitions}) == 0;
    const CliResult refused = readOnly ? install({QStringLiteral("Fixture Titles")}) : CliResult{};
    QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), transitions});
    ASSERT_TRUE(readOnly);

    EXPECT_EQ(refused.exitCode, 4) << refused.err.toStdString();
    EXPECT_EQ(refused.out, u"Failed Fixture Titles\n");
    EXPECT_TRUE(refused.err.contains(u"Alert: Installing Fixture Titles failed: ")) << refused.err.toStdString();
    expectNothingInstalled(u"Fixture Titles"_qs);
    EXPECT_EQ(QDir(motion(u"Titles"_qs, QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());

    const CliResult again = install({QStringLiteral("Fixture Titles")});
    EXPECT_EQ(again.exitCode, 0) << "not refused as already installed: " << again.err.toStdString();
}

TEST_F(InstallCliTest, AnUpdateKilledAtAnyPointLeavesEachTemplateFolderWholeOldOrWholeNew) {
    ASSERT_EQ(install({QStringLiteral("Fixture Titles")}).exitCode, 0);
    const QStringList types{u"Titles"_qs, u"Transitions"_qs};
    QHash<QString, QStringList> oldVersions;
    for (const QString &type : types) {
        QFile marker(motion(type, u"KLV - Fixture Titles/old version"_qs));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        marker.close();
        oldVersions[type] = filesBelow(motion(type, u"KLV - Fixture Titles"_qs));
    }
    // A new release big enough for a kill to land while it is unpacked, prepared or placed.
    serveLargeTitles();
    for (const int delayMs : {300, 600, 900, 1200, 1500, 1800, 2200}) {
        // A release of its own each time: an update that completed leaves no update behind.
        ASSERT_TRUE(releaseUpdate(catalog.path(), u"Fixture Titles"_qs));
        QProcess update;
        update.setProcessEnvironment(environment());
        update.start(QStringLiteral(KLV_CLI_BINARY),
                     {QStringLiteral("update"), QStringLiteral("--yes"), QStringLiteral("Fixture Titles")});
        ASSERT_TRUE(update.waitForStarted());
        if (!update.waitForFinished(delayMs)) {
            update.kill();
            update.waitForFinished();
        }
        for (const QString &type : types) {
            const QStringList files = filesBelow(motion(type, u"KLV - Fixture Titles"_qs));
            EXPECT_TRUE(files == oldVersions[type] ||
                        (files.size() == largeTemplateCount && !files.contains(u"old version"_qs)))
                << type.toStdString() << " after " << delayMs << " ms: " << files.size() << " files";
        }
        EXPECT_TRUE(installedNames().contains(u"Fixture Titles"_qs));
    }

    ASSERT_TRUE(releaseUpdate(catalog.path(), u"Fixture Titles"_qs));
    const CliResult finished =
        klv({QStringLiteral("update"), QStringLiteral("--yes"), QStringLiteral("Fixture Titles")});
    EXPECT_EQ(finished.exitCode, 0) << finished.err.toStdString();
    for (const QString &type : types) {
        EXPECT_EQ(filesBelow(motion(type, u"KLV - Fixture Titles"_qs)).size(), largeTemplateCount);
        EXPECT_EQ(QDir(motion(type, QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{u"KLV - Fixture Titles"_qs})
            << "what killed runs left is cleared";
    }
}

TEST_F(InstallCliTest, ADamagedPluginArchiveLeavesTheProductAsItWasBefore) {
    const QString oldGlow = vantory(u"Plugins/KLV Fixture Glow.app/old version"_qs);
    QDir().mkpath(QFileInfo(oldGlow).path());
    QFile marker(oldGlow);
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    QFile damaged(catalog.filePath(u"files/plugins/KLV Fixture Glow.zip"_qs));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write("PK\x03\x04 not a whole archive") > 0);
    damaged.close();

    const CliResult result = install({QStringLiteral("Fixture Plugins")});
    EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Failed Fixture Plugins\n");
    EXPECT_TRUE(QFileInfo::exists(oldGlow)) << "the old plug-in is still there";
    EXPECT_FALSE(QFileInfo::exists(vantory(u"Plugins/KLV Fixture Glow.app/AppRun"_qs)));
    EXPECT_FALSE(QFileInfo::exists(vantory(u"Plugins/KLV Fixture Helper.app"_qs)))
        << "the plug-in that did arrive is taken back";
    expectNothingInstalled(u"Fixture Plugins"_qs);
}

TEST_F(InstallCliTest, DownloadsThatDripOrNeverEndFailWithinSeconds) {
    addFault(QJsonObject{
        {u"path"_qs, u"/files/templates/fixture-titles.zip"_qs}, {u"kind"_qs, u"drip"_qs}, {u"delayMs"_qs, 100}});
    addFault(QJsonObject{{u"path"_qs, u"/files/templates/fixture-alpha.zip"_qs}, {u"kind"_qs, u"endless"_qs}});
    QProcessEnvironment shortWindow = environment();
    shortWindow.insert(QStringLiteral("KLV_DOWNLOAD_STALL_WINDOW_MS"), QStringLiteral("1000"));
    QElapsedTimer timer;
    timer.start();
    const CliResult result = runKlv({u"install"_qs, u"Fixture Titles"_qs, u"Fixture Alpha"_qs}, shortWindow);
    EXPECT_LT(timer.elapsed(), 30'000);
    EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Failed Fixture Titles\nFailed Fixture Alpha\n0 installed, 2 failed\n");
    EXPECT_TRUE(result.err.contains(u"stalled: less than 1 KB a second for 1 seconds; it was stopped."))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u"the store announced; it was stopped.")) << result.err.toStdString();
    expectNothingInstalled(u"Fixture Titles"_qs);
    expectNothingInstalled(u"Fixture Alpha"_qs);
}

TEST_F(InstallCliTest, ShellCharactersInNamesAreJustNames) {
    const QString name = QStringLiteral("Bad $(name) `x`; \"q\"");
    const CliResult result = install({name});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(QFileInfo(motion(u"Titles"_qs, u"KLV - " + name)).isDir());
    EXPECT_TRUE(QFileInfo::exists(vantory(u"Plugins/Bad $(plugin) `x`; \"q\".app/AppRun"_qs)));
}

TEST_F(InstallCliTest, AProductForANewerSystemIsRefused) {
    const CliResult result = install({QStringLiteral("Fixture Future")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(u"This plugin requires a more recent version of MacOS."))
        << result.err.toStdString();
}

TEST_F(InstallCliTest, UninstallRemovesTemplatesCompositesAndLooksButKeepsFontsAndPlugins) {
    ASSERT_EQ(install({QStringLiteral("Fixture Extras"), QStringLiteral("Fixture Plugins"),
                       QStringLiteral("Fixture Bundle"), QStringLiteral("Fixture Scratches"),
                       QStringLiteral("Fixture Grade DVR"), QStringLiteral("Fixture Flares")})
                  .exitCode,
              0);
    const QString looks = data(u"klv-app/Library/Application Support/ProApps/Custom LUTs/KLV - Fixture Extras LUTs"_qs);
    ASSERT_TRUE(QFileInfo(looks).isDir());

    const CliResult result =
        klv({QStringLiteral("uninstall"), QStringLiteral("--yes"), QStringLiteral("Fixture Extras"),
             QStringLiteral("Fixture Plugins"), QStringLiteral("Fixture Bundle"), QStringLiteral("Fixture Scratches"),
             QStringLiteral("Fixture Grade DVR"), QStringLiteral("Fixture Flares")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("Videos/KLV Composite/Fixture Flares.mov"))));
    EXPECT_TRUE(result.out.contains(u"Uninstalled Fixture Bundle"));
    EXPECT_FALSE(QFileInfo::exists(motion(u"Generators"_qs, u"KLV - Fixture Extras"_qs)));
    EXPECT_FALSE(QFileInfo::exists(motion(u"Titles"_qs, u"KLV - Fixture Alpha"_qs)));
    EXPECT_FALSE(QFileInfo::exists(motion(u"Effects"_qs, u"KLV - Fixture Beta"_qs)));
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("Videos/KLV Composite/Fixture Scratches"))));
    EXPECT_FALSE(QFileInfo::exists(looks));
    EXPECT_TRUE(QFileInfo::exists(data(u"fonts/Fixture Sans.ttf"_qs))) << "fonts stay";
    EXPECT_TRUE(QFileInfo::exists(vantory(u"Plugins/KLV Fixture Glow.app/AppRun"_qs))) << "plug-ins stay";
    EXPECT_TRUE(QFileInfo::exists(data(u"DaVinciResolve/Fusion/Templates/KLV - Fixture Grade DVR.drfx"_qs)))
        << "Resolve bundles stay";
    EXPECT_EQ(installedNames(), QStringList{u"Fixture Grade DVR"_qs}) << "found through its bundle";
}

TEST_F(InstallCliTest, CtrlCSigtermAndSighupCancelAndLeaveNothingBehind) {
    addFault(QJsonObject{
        {u"path"_qs, u"/files/templates/fixture-titles.zip"_qs}, {u"kind"_qs, u"delay"_qs}, {u"delayMs"_qs, 20000}});
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        QProcess klvProcess;
        klvProcess.setProcessEnvironment(environment());
        klvProcess.start(QStringLiteral(KLV_CLI_BINARY), {QStringLiteral("install"), QStringLiteral("Fixture Titles")});
        ASSERT_TRUE(klvProcess.waitForStarted());
        // Wait until the job runs (the download then hangs in the delay).
        const QByteArray errors = readUntil(klvProcess, QProcess::StandardError, "(1/1) Fixture Titles");
        ASSERT_TRUE(errors.contains("(1/1) Fixture Titles")) << errors.toStdString();
        ::kill(pid_t(klvProcess.processId()), signal);
        ASSERT_TRUE(klvProcess.waitForFinished(15'000));
        EXPECT_EQ(klvProcess.exitStatus(), QProcess::NormalExit) << "signal " << signal;
        EXPECT_EQ(klvProcess.exitCode(), 130) << "signal " << signal;
        expectNothingInstalled(u"Fixture Titles"_qs);
        EXPECT_EQ(QDir(vantory(u"KLV-Download"_qs)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList())
            << "signal " << signal;
    }
}

TEST_F(InstallCliTest, CtrlCWhileTemplatesArePlacedEndsOnlyOnceNothingOfTheJobIsLeft) {
    serveLargeTitles();
    for (const int delayMs : {0, 700, 1400, 2100, 2800, 3500}) {
        QProcess klvProcess;
        klvProcess.setProcessEnvironment(environment());
        klvProcess.start(QStringLiteral(KLV_CLI_BINARY), {QStringLiteral("install"), QStringLiteral("Fixture Titles")});
        const QByteArray errors = readUntil(klvProcess, QProcess::StandardError, "(1/1) Fixture Titles");
        ASSERT_TRUE(errors.contains("(1/1) Fixture Titles")) << errors.toStdString();
        if (!klvProcess.waitForFinished(delayMs)) {
            ::kill(pid_t(klvProcess.processId()), SIGINT);
            ASSERT_TRUE(klvProcess.waitForFinished(30'000));
        }
        const QString out = QString::fromUtf8(klvProcess.readAllStandardOutput());

        if (out.contains(u"Installed Fixture Titles")) {
            EXPECT_EQ(filesBelow(motion(u"Titles"_qs, u"KLV - Fixture Titles"_qs)).size(), largeTemplateCount);
            ASSERT_EQ(
                klv({QStringLiteral("uninstall"), QStringLiteral("--yes"), QStringLiteral("Fixture Titles")}).exitCode,
                0);
            continue;
        }
        EXPECT_EQ(klvProcess.exitCode(), 130) << delayMs << " ms: " << out.toStdString();
        EXPECT_TRUE(out.isEmpty()) << delayMs << " ms: nothing after Ctrl-C, got " << out.toStdString();
        expectNothingInstalled(u"Fixture Titles"_qs);
        for (const QString &type : {u"Titles"_qs, u"Transitions"_qs})
            EXPECT_EQ(QDir(motion(type, QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                      QStringList())
                << type.toStdString() << " after " << delayMs << " ms";
    }
}

} // namespace
} // namespace klv::test
