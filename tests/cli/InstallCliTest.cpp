#include "ArchiveWriter.h"
#include "SignedInKlvTest.h"

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
#include <QTemporaryDir>

#include <csignal>

#include <unistd.h>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

class InstallCliTest : public SignedInKlvTest {
protected:
    static constexpr qsizetype largeTemplateCount = 800;

    CliResult install(const QStringList &names) const { return klv(QStringList{u"install"_s} + names); }
    QStringList installedNames() const {
        const CliResult result = klv({u"list"_s, u"--json"_s, u"--filter"_s, u"installed"_s});
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
        editCatalog([&fault](QJsonObject &root) {
            QJsonArray faults = root[u"faults"].toArray();
            faults.append(fault);
            root[u"faults"] = faults;
        });
    }
    // A job whose templates could not be written: it failed, said so, and left no template folder behind.
    void expectRefusedWithNothingPlaced(const CliResult &refused) const {
        EXPECT_EQ(refused.exitCode, 4) << refused.err.toStdString();
        EXPECT_EQ(refused.out, u"Failed Fixture Titles\n");
        EXPECT_TRUE(refused.err.contains(u"Alert: Installing Fixture Titles failed: ")) << refused.err.toStdString();
        expectNothingInstalled(u"Fixture Titles"_s);
        EXPECT_EQ(
            QDir(motion(u"Titles"_s, QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }
    // Nothing of a failed job may look installed: no template folder, no row marked installed.
    void expectNothingInstalled(const QString &name) const {
        for (const QString &type : {u"Titles"_s, u"Effects"_s, u"Transitions"_s, u"Generators"_s})
            EXPECT_FALSE(QFileInfo::exists(motion(type, u"KLV - " + name))) << name.toStdString();
        EXPECT_FALSE(installedNames().contains(name)) << name.toStdString();
    }

    // Points of a job that klv --verbose tells as it reaches them: the download starts, the job runs, the first
    // template folder is staged beside its place, all are in place.
    static inline const QByteArrayList jobPoints{"(1/1) Fixture Titles", "Installing Fixture Titles", "Moved Template",
                                                 "Done Install Template"};
    // Starts klv with --verbose and returns once it has told that point of its job.
    void startUntil(QProcess &process, const QStringList &arguments, const QByteArray &point) const {
        process.setProcessEnvironment(environment());
        process.start(QString::fromUtf8(KLV_CLI_BINARY), arguments + QStringList{u"--verbose"_s});
        const QByteArray told = readUntil(process, QProcess::StandardError, point);
        EXPECT_TRUE(told.contains(point)) << point.toStdString() << " never came: " << told.toStdString();
    }

    // Replaces the package of Fixture Titles with one of largeTemplateCount template folders per type.
    void serveLargeTitles() const {
        ArchiveWriter zip(catalog.filePath(u"files/templates/fixture-titles.zip"_s));
        for (const QString &type : {u"Titles"_s, u"Transitions"_s}) {
            for (qsizetype i = 0; i < largeTemplateCount; ++i) {
                const QString name = u"T%1"_s.arg(i, 4, 10, QChar(u'0'));
                zip.addFile(u"Fixture Titles/%1/KLV - Fixture Titles/%2/%2.moti"_s.arg(type, name), "\t<layout>1\n");
            }
        }
        ASSERT_TRUE(zip.finish()) << zip.errorString().toStdString();
    }
    // Every file below a folder, relative to it and sorted.
    static QStringList filesBelow(const QString &folder) {
        QStringList files;
        for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            files << QDir(folder).relativeFilePath(it.next());
        files.sort();
        return files;
    }
};

TEST_F(InstallCliTest, TemplatesLandInTheirTypeFoldersPrepared) {
    const CliResult result = install({u"Fixture Titles"_s});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Installed Fixture Titles\n");

    const QByteArray lowerThird = readFile(motion(u"Titles"_s, u"KLV - Fixture Titles/Lower Third/Lower Third.moti"_s));
    EXPECT_EQ(lowerThird.count("<canvas>\n\t<layout>1"), 3) << lowerThird.toStdString();
    EXPECT_EQ(readFile(motion(u"Titles"_s, u"KLV - Fixture Titles/Headline/Headline.moti"_s)).count("<canvas>"), 1);
    EXPECT_TRUE(readFile(motion(u"Transitions"_s, u"KLV - Fixture Titles/Wipe/Wipe.motr"_s)).contains("<canvas>"));
    EXPECT_TRUE(installedNames().contains(u"Fixture Titles"_s));
    EXPECT_FALSE(QFileInfo::exists(vantory(u"KLV-Download/Fixture Titles"_s))) << "the job folder is cleaned up";
}

TEST_F(InstallCliTest, PluginsFontsAndLutsInstallBesideTheTemplates) {
    const CliResult result = install({u"Fixture Plugins"_s, u"Fixture Extras"_s});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Installed Fixture Plugins\nInstalled Fixture Extras\n2 installed\n") << "jobs run in order";
    EXPECT_TRUE(QFileInfo(vantory(u"Plugins/KLV Fixture Glow.app/AppRun"_s)).isExecutable());
    EXPECT_TRUE(QFileInfo(vantory(u"Plugins/KLV Fixture Helper.app/AppRun"_s)).isExecutable());
    EXPECT_TRUE(readFile(home.filePath(u".klv-plugin-runs"_s)).contains("KLV Fixture Helper"))
        << "the plug-in that stays running was started";
    EXPECT_TRUE(QFileInfo::exists(data(u"fonts/Fixture Sans.ttf"_s)));
    EXPECT_TRUE(QFileInfo::exists(data(u"fonts/Fixture Serif.otf"_s)));
    EXPECT_FALSE(QFileInfo::exists(data(u"fonts/Fixture Missing.ttf"_s))) << "an error page is never a font";
    EXPECT_FALSE(QFileInfo::exists(data(u"fonts/Fixture Missing.otf"_s)));
    QDir luts(data(u"DaVinciResolve/Fusion/LUTs"_s));
    EXPECT_FALSE(luts.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(InstallCliTest, GroupsResolveBundlesAndCompositesInstall) {
    const CliResult result =
        install({u"Fixture Bundle"_s, u"Fixture Grade DVR"_s, u"Fixture Scratches"_s, u"Fixture Flares"_s});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(QFileInfo(motion(u"Titles"_s, u"KLV - Fixture Alpha"_s)).isDir());
    EXPECT_TRUE(QFileInfo(motion(u"Effects"_s, u"KLV - Fixture Beta"_s)).isDir());
    EXPECT_TRUE(QFileInfo::exists(data(u"DaVinciResolve/Fusion/Templates/KLV - Fixture Grade DVR.drfx"_s)));
    EXPECT_TRUE(QFileInfo(home.filePath(u"Videos/KLV Composite/Fixture Scratches"_s)).isDir());
    EXPECT_TRUE(QFileInfo::exists(home.filePath(u"Videos/KLV Composite/Fixture Flares.mov"_s)));
    const QStringList installed = installedNames();
    for (const QString &name :
         {u"Fixture Bundle"_s, u"Fixture Grade DVR"_s, u"Fixture Scratches"_s, u"Fixture Flares"_s})
        EXPECT_TRUE(installed.contains(name)) << name.toStdString() << " in " << installed.join(u", ").toStdString();
}

TEST_F(InstallCliTest, AlreadyInstalledIsRefusedOnInstallButUpdated) {
    ASSERT_EQ(install({u"Fixture Titles"_s}).exitCode, 0);
    QFile stray(motion(u"Titles"_s, u"KLV - Fixture Titles/Retired Template/stray.txt"_s));
    QDir().mkpath(QFileInfo(stray).path());
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();
    QDir().mkpath(motion(u"Titles"_s, u"KLV - Fixture Titles Classic"_s));

    const CliResult again = install({u"Fixture Titles"_s});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains(u"already installed")) << again.err.toStdString();
    EXPECT_TRUE(stray.exists());

    ASSERT_TRUE(releaseUpdate(catalog.path(), u"Fixture Titles"_s));
    const CliResult update = klv({u"update"_s, u"--yes"_s, u"Fixture Titles"_s});
    EXPECT_EQ(update.exitCode, 0) << update.err.toStdString();
    EXPECT_FALSE(stray.exists()) << "a template folder of the package is replaced whole";
    EXPECT_TRUE(QFileInfo(motion(u"Titles"_s, u"KLV - Fixture Titles Classic"_s)).isDir())
        << "folders the new version does not have stay";
    EXPECT_TRUE(readFile(motion(u"Titles"_s, u"KLV - Fixture Titles/Headline/Headline.moti"_s)).contains("<canvas>"));
}

TEST_F(InstallCliTest, AnUpdateWhoseLibraryCannotBeStoredSaysSoAndFails) {
    ASSERT_EQ(install({u"Fixture Titles"_s}).exitCode, 0);
    ASSERT_TRUE(releaseUpdate(catalog.path(), u"Fixture Titles"_s));
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    // A folder where the library's file goes refuses every write to it, even to root.
    const QString cache = data(u"klv-app/Group Containers/group.com.vantory.klvapp/KLVApp_MyProductCache.bin"_s);
    ASSERT_TRUE(QFile::remove(cache));
    ASSERT_TRUE(QDir().mkpath(cache + u"/in-the-way"_s));

    const CliResult update = klv({u"update"_s, u"--yes"_s, u"Fixture Titles"_s});
    EXPECT_EQ(update.exitCode, 4) << update.err.toStdString();
    EXPECT_TRUE(update.err.contains(u"Fixture Titles is in place, but the library could not be stored"_s))
        << update.err.toStdString();
    EXPECT_TRUE(readFile(motion(u"Titles"_s, u"KLV - Fixture Titles/Headline/Headline.moti"_s)).contains("<canvas>"));
}

TEST_F(InstallCliTest, DuplicateRequestsQueueOneJob) {
    // The first job is still downloading when the second answer arrives.
    addFault(QJsonObject{
        {u"path"_s, u"/files/templates/fixture-titles.zip"_s}, {u"kind"_s, u"delay"_s}, {u"delayMs"_s, 1500}});
    const CliResult result = install({u"Fixture Titles"_s, u"Fixture Titles"_s});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Installed Fixture Titles\n");
}

TEST_F(InstallCliTest, BadPackagesFailClearlyAndInstallNothing) {
    addFault(QJsonObject{
        {u"path"_s, u"/files/templates/fixture-alpha.zip"_s}, {u"kind"_s, u"status"_s}, {u"status"_s, 500}});
    addFault(QJsonObject{
        {u"path"_s, u"/files/templates/fixture-beta.zip"_s}, {u"kind"_s, u"truncate"_s}, {u"bytes"_s, 200}});
    const QStringList broken{u"Fixture Alpha"_s,  u"Fixture Beta"_s,       u"Fixture Corrupt"_s,
                             u"Fixture Dotdot"_s, u"Fixture Absolute"_s,   u"Fixture Symlink"_s,
                             u"Fixture A/B"_s,    u"Fixture Broken Link"_s};
    const CliResult result = install(broken + QStringList{u"Fixture Titles"_s});
    EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
    for (const QString &name : broken) {
        EXPECT_TRUE(result.out.contains(u"Failed " + name)) << name.toStdString() << result.out.toStdString();
        EXPECT_TRUE(result.err.contains(u"Alert: Installing " + name + u" failed: ")) << name.toStdString();
        expectNothingInstalled(name);
    }
    EXPECT_TRUE(result.out.endsWith(u"Installed Fixture Titles\n1 installed, 8 failed\n")) << "the queue moves on";
    EXPECT_FALSE(QFileInfo::exists(u"/tmp/klv-fixture-absolute-evil"_s));
    EXPECT_FALSE(QFileInfo::exists(u"/tmp/klv-fixture-symlink-evil"_s));
    EXPECT_FALSE(QFileInfo::exists(vantory(u"KLV-Download/evil"_s)));
}

TEST_F(InstallCliTest, AFolderThatRefusesWritesFailsTheJobAndLeavesNothingInstalled) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "a read-only mount needs root";
    const QString transitions = motion(u"Transitions"_s, QString());
    if (QProcess::execute(u"mount"_s, {u"--bind"_s, transitions, transitions}) != 0)
        GTEST_SKIP() << "no bind mount here";
    const bool readOnly = QProcess::execute(u"mount"_s, {u"-o"_s, u"remount,bind,ro"_s, transitions}) == 0;
    const CliResult refused = readOnly ? install({u"Fixture Titles"_s}) : CliResult{};
    QProcess::execute(u"umount"_s, {u"-l"_s, transitions});
    ASSERT_TRUE(readOnly);

    expectRefusedWithNothingPlaced(refused);

    const CliResult again = install({u"Fixture Titles"_s});
    EXPECT_EQ(again.exitCode, 0) << "not refused as already installed: " << again.err.toStdString();
}

// The same refusal for any user: a file stands where the Transitions folder should be.
TEST_F(InstallCliTest, AFileWhereATemplateFolderShouldBeFailsTheJobForAnyUserAndLeavesNothingInstalled) {
    const QString transitions = QDir::cleanPath(motion(u"Transitions"_s, QString()));
    ASSERT_TRUE(QDir(transitions).removeRecursively());
    ASSERT_TRUE(writeFile(transitions, "not a folder"));
    const CliResult refused = install({u"Fixture Titles"_s});
    expectRefusedWithNothingPlaced(refused);
    EXPECT_EQ(readFile(transitions), "not a folder") << "what stood there stays";

    ASSERT_TRUE(QFile::remove(transitions));
    const CliResult again = install({u"Fixture Titles"_s});
    EXPECT_EQ(again.exitCode, 0) << "not refused as already installed: " << again.err.toStdString();
}

TEST_F(InstallCliTest, AnUpdateKilledAtAnyPointLeavesEachTemplateFolderWholeOldOrWholeNew) {
    ASSERT_EQ(install({u"Fixture Titles"_s}).exitCode, 0);
    const QStringList types{u"Titles"_s, u"Transitions"_s};
    QHash<QString, QStringList> oldVersions;
    for (const QString &type : types) {
        QFile marker(motion(type, u"KLV - Fixture Titles/old version"_s));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        marker.close();
        oldVersions[type] = filesBelow(motion(type, u"KLV - Fixture Titles"_s));
    }
    // A new release big enough for a kill to land while it is unpacked, prepared or placed.
    serveLargeTitles();
    for (const QByteArray &point : jobPoints) {
        // A release of its own each time: an update that completed leaves no update behind.
        ASSERT_TRUE(releaseUpdate(catalog.path(), u"Fixture Titles"_s));
        QProcess update;
        startUntil(update, {u"update"_s, u"--yes"_s, u"Fixture Titles"_s}, point);
        update.kill();
        update.waitForFinished();
        for (const QString &type : types) {
            const QStringList files = filesBelow(motion(type, u"KLV - Fixture Titles"_s));
            EXPECT_TRUE(files == oldVersions[type] ||
                        (files.size() == largeTemplateCount && !files.contains(u"old version"_s)))
                << type.toStdString() << " killed at " << point.toStdString() << ": " << files.size() << " files";
        }
        EXPECT_TRUE(installedNames().contains(u"Fixture Titles"_s));
    }

    ASSERT_TRUE(releaseUpdate(catalog.path(), u"Fixture Titles"_s));
    const CliResult finished = klv({u"update"_s, u"--yes"_s, u"Fixture Titles"_s});
    EXPECT_EQ(finished.exitCode, 0) << finished.err.toStdString();
    for (const QString &type : types) {
        EXPECT_EQ(filesBelow(motion(type, u"KLV - Fixture Titles"_s)).size(), largeTemplateCount);
        EXPECT_EQ(QDir(motion(type, QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{u"KLV - Fixture Titles"_s})
            << "what killed runs left is cleared";
    }
}

TEST_F(InstallCliTest, AJobKilledAtAnyStepOfItsPlacementIsFinishedOrUndoneByTheNextStart) {
    const QStringList types{u"Titles"_s, u"Transitions"_s};
    const QByteArray smallPackage = readFile(catalog.filePath(u"files/templates/fixture-titles.zip"_s));
    // A new release of many template folders per type, each placed in a step of its own.
    constexpr int folders = 400;
    ArchiveWriter zip(catalog.filePath(u"fixture-titles-many.zip"_s));
    QStringList newFolders{u"KLV - Fixture Titles"_s};
    for (int i = 1; i < folders; ++i)
        newFolders << u"Fixture Titles Look %1"_s.arg(i, 3, 10, QChar(u'0'));
    for (const QString &type : types) {
        for (const QString &folder : newFolders)
            zip.addFile(u"Fixture Titles/%1/%2/%2.moti"_s.arg(type, folder), "\t<layout>1\n");
    }
    ASSERT_TRUE(zip.finish()) << zip.errorString().toStdString();
    const QByteArray manyPackage = readFile(catalog.filePath(u"fixture-titles-many.zip"_s));
    newFolders.sort();
    const auto placed = [&](const QString &type) {
        return QDir(motion(type, QString())).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    };
    const auto leftBehind = [&] {
        QStringList left;
        for (const QString &type : types)
            left << QDir(motion(type, QString())).entryList({u".klv-staging*"_s}, QDir::AllEntries | QDir::Hidden);
        left << QDir(vantory(u"KLV-Download"_s)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        return left;
    };
    struct Crash {
        bool update;
        const char *at;
    };
    // Fresh installs and updates, killed while items are staged, moved aside, swapped in one by one and kept.
    const QList<Crash> crashes{{false, "placement-stage:1"}, {false, "placement-stage:500"},
                               {false, "placement-swap:1"},  {false, "placement-swap:700"},
                               {false, "placement-keep:1"},  {true, "placement-stage:300"},
                               {true, "placement-move:1"},   {true, "placement-swap:2"},
                               {true, "placement-swap:799"}, {true, "placement-keep:1"}};
    for (const Crash &crash : crashes) {
        SCOPED_TRACE(std::string(crash.update ? "update" : "fresh install") + " killed at " + crash.at);
        for (const QString &type : types)
            QDir(motion(type, QString())).removeRecursively();
        klv({u"refresh"_s});
        QHash<QString, QStringList> before;
        if (crash.update) {
            ASSERT_TRUE(writeFile(catalog.filePath(u"files/templates/fixture-titles.zip"_s), smallPackage));
            ASSERT_EQ(install({u"Fixture Titles"_s}).exitCode, 0);
            ASSERT_TRUE(releaseUpdate(catalog.path(), u"Fixture Titles"_s));
            for (const QString &type : types)
                before[type] = placed(type);
        }
        ASSERT_TRUE(writeFile(catalog.filePath(u"files/templates/fixture-titles.zip"_s), manyPackage));
        QProcessEnvironment crashing = environment();
        crashing.insert(u"KLV_CRASH_AT"_s, QString::fromLatin1(crash.at));
        QProcess run;
        run.setProcessEnvironment(crashing);
        run.start(QString::fromUtf8(KLV_CLI_BINARY),
                  {crash.update ? u"update"_s : u"install"_s, u"--yes"_s, u"Fixture Titles"_s});
        ASSERT_TRUE(run.waitForFinished(60'000));
        ASSERT_EQ(run.exitStatus(), QProcess::CrashExit)
            << "the crash point was never reached: " << run.readAllStandardError().toStdString();

        // The next start of klv, whatever its command, finds the journal and sees the job through or undoes it.
        const bool installed = installedNames().contains(u"Fixture Titles"_s);
        EXPECT_EQ(leftBehind(), QStringList()) << "no staging, journal or job folder is left";
        for (const QString &type : types) {
            const QStringList folderNames = placed(type);
            if (crash.update)
                EXPECT_TRUE(folderNames == before[type] || folderNames == newFolders)
                    << type.toStdString() << ": " << folderNames.size() << " folders";
            else
                EXPECT_TRUE(folderNames.isEmpty() || folderNames == newFolders)
                    << type.toStdString() << ": " << folderNames.size() << " folders";
            EXPECT_EQ(installed, !folderNames.isEmpty()) << "klv says what is on disk";
        }
    }
}

TEST_F(InstallCliTest, AnUpdateKilledPartWayStaysOfferedUntilTheNextOneCompletesIt) {
    ASSERT_EQ(install({u"Fixture Extras"_s}).exitCode, 0);
    ASSERT_TRUE(releaseUpdate(catalog.path(), u"Fixture Extras"_s));
    ASSERT_TRUE(klv({u"outdated"_s}).out.contains(u"Fixture Extras"_s));

    // Killed as the first part of the new release is kept: the others are still the earlier one.
    QProcessEnvironment crashing = environment();
    crashing.insert(u"KLV_CRASH_AT"_s, u"placement-keep:1"_s);
    QProcess run;
    run.setProcessEnvironment(crashing);
    run.start(QString::fromUtf8(KLV_CLI_BINARY), {u"update"_s, u"--yes"_s, u"Fixture Extras"_s});
    ASSERT_TRUE(run.waitForFinished(60'000));
    ASSERT_EQ(run.exitStatus(), QProcess::CrashExit) << run.readAllStandardError().toStdString();

    EXPECT_TRUE(klv({u"outdated"_s}).out.contains(u"Fixture Extras"_s)) << "the update is still to do";
    const CliResult verified = klv({u"verify"_s, u"Fixture Extras"_s});
    EXPECT_EQ(verified.exitCode, 1);
    EXPECT_TRUE(verified.out.contains(u"Fixture Extras: its update"_s)) << verified.out.toStdString();
    EXPECT_TRUE(verified.out.contains(u"stopped part-way"_s)) << verified.out.toStdString();
    // Which parts the kill caught depends on their pace; those not yet placed are named, in the job's order.
    const QJsonArray behind = QJsonDocument::fromJson(klv({u"verify"_s, u"--json"_s, u"Fixture Extras"_s}).out.toUtf8())
                                  .object()[u"products"_s][0][u"partsBehind"_s]
                                  .toArray();
    ASSERT_FALSE(behind.isEmpty());
    QStringList parts;
    for (const QJsonValue &part : behind) {
        EXPECT_TRUE(QStringList({u"templates"_s, u"fonts"_s, u"plug-ins"_s, u"looks"_s}).contains(part.toString()));
        parts.append(part.toString());
    }
    EXPECT_TRUE(verified.out.contains(u"so its "_s + parts.join(u", "_s) + u" are still the earlier release"_s))
        << verified.out.toStdString();

    const CliResult completed = klv({u"update"_s, u"--yes"_s, u"Fixture Extras"_s});
    ASSERT_EQ(completed.exitCode, 0) << completed.err.toStdString();
    EXPECT_FALSE(klv({u"outdated"_s}).out.contains(u"Fixture Extras"_s));
    EXPECT_EQ(klv({u"verify"_s, u"Fixture Extras"_s}).out, u"Fixture Extras: intact\n");
}

TEST_F(InstallCliTest, FontAndLookArchivesThatBreakHalfWayLeaveTheCustomersFilesAsTheyWere) {
    const QString font = data(u"fonts/Fixture Family Regular.ttf"_s);
    const QString look = data(u"DaVinciResolve/Fusion/LUTs/"
                              u"KLV - Fixture Extras LUTs/Fixture Warm.cube"_s);
    ASSERT_TRUE(writeFile(font, "the customer's own"));
    ASSERT_TRUE(writeFile(look, "the customer's own"));
    // Each archive's first entry would replace the customer's file; a later one is cut in the middle of its data.
    const auto breakAfterFirst = [](const QString &path, const QString &first, const QString &second) {
        ArchiveWriter zip(path);
        zip.addFile(first, "new");
        zip.addFile(second, QByteArray(64 * 1024, 'x') + QByteArray::number(12345).repeated(4096));
        ASSERT_TRUE(zip.finish());
        QByteArray bytes = readFile(path);
        bytes[bytes.size() / 2] = char(~bytes[bytes.size() / 2]);
        ASSERT_TRUE(writeFile(path, bytes));
    };
    breakAfterFirst(catalog.filePath(u"files/font-archives/fixture-family.zip"_s), u"Fixture Family Regular.ttf"_s,
                    u"Fixture Family Wide.ttf"_s);
    breakAfterFirst(catalog.filePath(u"files/luts/fixture-looks.zip"_s),
                    u"KLV - Fixture Extras LUTs/Fixture Warm.cube"_s, u"KLV - Fixture Extras LUTs/Fixture Cold.cube"_s);

    const CliResult result = install({u"Fixture Extras"_s});
    EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Failed Fixture Extras\n");
    EXPECT_TRUE(result.err.contains(u"the font archive"_s)) << result.err.toStdString();
    EXPECT_EQ(readFile(font), "the customer's own");
    EXPECT_FALSE(QFileInfo::exists(data(u"fonts/Fixture Family Wide.ttf"_s)));
    EXPECT_EQ(readFile(look), "the customer's own");
    EXPECT_EQ(QDir(QFileInfo(look).path()).entryList(QDir::Files), QStringList{u"Fixture Warm.cube"_s});
}

TEST_F(InstallCliTest, ADamagedPluginArchiveLeavesTheProductAsItWasBefore) {
    const QString oldGlow = vantory(u"Plugins/KLV Fixture Glow.app/old version"_s);
    QDir().mkpath(QFileInfo(oldGlow).path());
    QFile marker(oldGlow);
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    QFile damaged(catalog.filePath(u"files/plugins/KLV Fixture Glow.zip"_s));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write("PK\x03\x04 not a whole archive") > 0);
    damaged.close();

    const CliResult result = install({u"Fixture Plugins"_s});
    EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Failed Fixture Plugins\n");
    EXPECT_TRUE(QFileInfo::exists(oldGlow)) << "the old plug-in is still there";
    EXPECT_FALSE(QFileInfo::exists(vantory(u"Plugins/KLV Fixture Glow.app/AppRun"_s)));
    EXPECT_FALSE(QFileInfo::exists(vantory(u"Plugins/KLV Fixture Helper.app"_s)))
        << "the plug-in that did arrive is taken back";
    expectNothingInstalled(u"Fixture Plugins"_s);
}

TEST_F(InstallCliTest, DownloadsThatDripOrNeverEndFailWithinSeconds) {
    addFault(QJsonObject{
        {u"path"_s, u"/files/templates/fixture-titles.zip"_s}, {u"kind"_s, u"drip"_s}, {u"delayMs"_s, 100}});
    addFault(QJsonObject{{u"path"_s, u"/files/templates/fixture-alpha.zip"_s}, {u"kind"_s, u"endless"_s}});
    QProcessEnvironment shortWindow = environment();
    shortWindow.insert(u"KLV_DOWNLOAD_STALL_WINDOW_MS"_s, u"1000"_s);
    QElapsedTimer timer;
    timer.start();
    const CliResult result = runKlv({u"install"_s, u"Fixture Titles"_s, u"Fixture Alpha"_s}, shortWindow);
    EXPECT_LT(timer.elapsed(), 30'000);
    EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
    EXPECT_EQ(result.out, u"Failed Fixture Titles\nFailed Fixture Alpha\n0 installed, 2 failed\n");
    EXPECT_TRUE(result.err.contains(u"stalled: less than 1 KB a second for 1 seconds; it was stopped."))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u"the store announced; it was stopped.")) << result.err.toStdString();
    expectNothingInstalled(u"Fixture Titles"_s);
    expectNothingInstalled(u"Fixture Alpha"_s);
}

TEST_F(InstallCliTest, ShellCharactersInNamesAreJustNames) {
    const QString name = u"Bad $(name) `x`; \"q\""_s;
    // The command an update of a product not installed suggests runs as printed, quotes and all.
    const CliResult notInstalled = klv({u"update"_s, u"--yes"_s, name});
    const QString suggested = notInstalled.err.section(u"install it with: "_s, 1).trimmed();
    ASSERT_TRUE(suggested.startsWith(u"klv install '"_s)) << notInstalled.err.toStdString();
    QProcess shell;
    QProcessEnvironment environment = this->environment();
    environment.insert(u"PATH"_s,
                       QFileInfo(QString::fromUtf8(KLV_CLI_BINARY)).path() + u':' + environment.value(u"PATH"_s));
    shell.setProcessEnvironment(environment);
    shell.start(u"bash"_s, {u"-c"_s, suggested});
    ASSERT_TRUE(shell.waitForFinished(60'000));
    const CliResult result{shell.exitCode(), QString::fromUtf8(shell.readAllStandardOutput()),
                           QString::fromUtf8(shell.readAllStandardError())};
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(QFileInfo(motion(u"Titles"_s, u"KLV - " + name)).isDir());
    EXPECT_TRUE(QFileInfo::exists(vantory(u"Plugins/Bad $(plugin) `x`; \"q\".app/AppRun"_s)));

    const CliResult quiet = klv({u"-q"_s, u"uninstall"_s, u"--yes"_s, name});
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err.toStdString();
    EXPECT_FALSE(quiet.err.contains(u"Removed "_s)) << "what was removed is a note: " << quiet.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(motion(u"Titles"_s, u"KLV - " + name)));
}

TEST_F(InstallCliTest, AProductForANewerSystemIsRefused) {
    const CliResult result = install({u"Fixture Future"_s});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(u"This plugin requires a more recent version of MacOS."))
        << result.err.toStdString();
}

TEST_F(InstallCliTest, UninstallRemovesTemplatesCompositesLooksAndBundlesButKeepsFontsAndPlugins) {
    const CliResult installed = install({u"Fixture Extras"_s, u"Fixture Plugins"_s, u"Fixture Bundle"_s,
                                         u"Fixture Scratches"_s, u"Fixture Grade DVR"_s, u"Fixture Flares"_s});
    ASSERT_EQ(installed.exitCode, 0) << installed.err.toStdString();
    const QString looks = data(u"DaVinciResolve/Fusion/LUTs/KLV - Fixture Extras LUTs"_s);
    ASSERT_TRUE(QFileInfo(looks).isDir());

    const CliResult result =
        klv({u"uninstall"_s, u"--yes"_s, u"Fixture Extras"_s, u"Fixture Plugins"_s, u"Fixture Bundle"_s,
             u"Fixture Scratches"_s, u"Fixture Grade DVR"_s, u"Fixture Flares"_s});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.filePath(u"Videos/KLV Composite/Fixture Flares.mov"_s)));
    EXPECT_TRUE(result.out.contains(u"Uninstalled Fixture Bundle"));
    EXPECT_FALSE(QFileInfo::exists(motion(u"Generators"_s, u"KLV - Fixture Extras"_s)));
    EXPECT_FALSE(QFileInfo::exists(motion(u"Titles"_s, u"KLV - Fixture Alpha"_s)));
    EXPECT_FALSE(QFileInfo::exists(motion(u"Effects"_s, u"KLV - Fixture Beta"_s)));
    EXPECT_FALSE(QFileInfo::exists(home.filePath(u"Videos/KLV Composite/Fixture Scratches"_s)));
    EXPECT_FALSE(QFileInfo::exists(looks));
    EXPECT_TRUE(QFileInfo::exists(data(u"fonts/Fixture Sans.ttf"_s))) << "fonts stay";
    EXPECT_TRUE(QFileInfo::exists(vantory(u"Plugins/KLV Fixture Glow.app/AppRun"_s))) << "plug-ins stay";
    EXPECT_FALSE(QFileInfo::exists(data(u"DaVinciResolve/Fusion/Templates/KLV - Fixture Grade DVR.drfx"_s)));
    EXPECT_EQ(installedNames(), QStringList{});
}

TEST_F(InstallCliTest, UninstallRemovesEveryTemplateFolderTheRecordNamesAndKeepsTheRecordWhileOneStays) {
    // A pack whose folders do not carry the product's name: only its record says they are the product's.
    ArchiveWriter zip(catalog.filePath(u"files/templates/fixture-titles.zip"_s));
    for (const QString &folder : {u"Neon Pack"_s, u"KLV - Fixture Titles"_s, u"Glow Pack"_s})
        zip.addFile(u"Fixture Titles/Titles/"_s + folder + u"/T/T.moti"_s, "\t<layout>1\n");
    ASSERT_TRUE(zip.finish()) << zip.errorString().toStdString();
    ASSERT_EQ(install({u"Fixture Titles"_s}).exitCode, 0);
    const QString manifest = vantory(u"Manifests/Fixture Titles.json"_s);
    ASSERT_TRUE(QFileInfo::exists(manifest));

    // While a folder cannot be removed, the record of it stays for verify and the next uninstall.
    const QString titles = motion(u"Titles"_s, {});
    if (::geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(titles, QFile::ReadOwner | QFile::ExeOwner));
        klv({u"uninstall"_s, u"--yes"_s, u"Fixture Titles"_s});
        ASSERT_TRUE(QFile::setPermissions(titles, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        EXPECT_TRUE(QFileInfo::exists(manifest)) << "the record went while what it records stayed";
    }
    const CliResult removed = klv({u"uninstall"_s, u"--yes"_s, u"Fixture Titles"_s});
    EXPECT_EQ(removed.exitCode, 0) << removed.err.toStdString();
    for (const QString &folder : {u"Neon Pack"_s, u"KLV - Fixture Titles"_s, u"Glow Pack"_s}) {
        EXPECT_FALSE(QFileInfo::exists(titles + folder)) << folder.toStdString();
        EXPECT_TRUE(removed.err.contains(u"Removed "_s + titles + folder)) << removed.err.toStdString();
    }
    EXPECT_TRUE(removed.out.contains(u"fonts and plug-ins kept"_s)) << removed.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(manifest));
}

TEST_F(InstallCliTest, CtrlCSigtermAndSighupCancelAndLeaveNothingBehind) {
    addFault(QJsonObject{
        {u"path"_s, u"/files/templates/fixture-titles.zip"_s}, {u"kind"_s, u"delay"_s}, {u"delayMs"_s, 20000}});
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        QProcess klvProcess;
        klvProcess.setProcessEnvironment(environment());
        klvProcess.start(QString::fromUtf8(KLV_CLI_BINARY), {u"install"_s, u"Fixture Titles"_s});
        ASSERT_TRUE(klvProcess.waitForStarted());
        // Wait until the job runs (the download then hangs in the delay).
        const QByteArray errors = readUntil(klvProcess, QProcess::StandardError, "(1/1) Fixture Titles");
        ASSERT_TRUE(errors.contains("(1/1) Fixture Titles")) << errors.toStdString();
        ::kill(pid_t(klvProcess.processId()), signal);
        ASSERT_TRUE(klvProcess.waitForFinished(15'000));
        EXPECT_EQ(klvProcess.exitStatus(), QProcess::NormalExit) << "signal " << signal;
        EXPECT_EQ(klvProcess.exitCode(), 130) << "signal " << signal;
        expectNothingInstalled(u"Fixture Titles"_s);
        EXPECT_EQ(QDir(vantory(u"KLV-Download"_s)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList())
            << "signal " << signal;
    }
}

TEST_F(InstallCliTest, CtrlCWhileTemplatesArePlacedEndsOnlyOnceNothingOfTheJobIsLeft) {
    serveLargeTitles();
    for (const QByteArray &point : jobPoints) {
        QProcess klvProcess;
        startUntil(klvProcess, {u"install"_s, u"Fixture Titles"_s}, point);
        ::kill(pid_t(klvProcess.processId()), SIGINT);
        ASSERT_TRUE(klvProcess.waitForFinished(30'000));
        const QString out = QString::fromUtf8(klvProcess.readAllStandardOutput());
        const std::string when = "Ctrl-C at " + point.toStdString();

        if (out.contains(u"Installed Fixture Titles")) {
            EXPECT_EQ(filesBelow(motion(u"Titles"_s, u"KLV - Fixture Titles"_s)).size(), largeTemplateCount);
            ASSERT_EQ(klv({u"uninstall"_s, u"--yes"_s, u"Fixture Titles"_s}).exitCode, 0);
            continue;
        }
        EXPECT_EQ(klvProcess.exitCode(), 130) << when << ": " << out.toStdString();
        EXPECT_TRUE(out.isEmpty()) << when << ": nothing after Ctrl-C, got " << out.toStdString();
        expectNothingInstalled(u"Fixture Titles"_s);
        for (const QString &type : {u"Titles"_s, u"Transitions"_s})
            EXPECT_EQ(QDir(motion(type, QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                      QStringList())
                << type.toStdString() << " after " << when;
    }
}

} // namespace
} // namespace klv::test
