#include "install/ArchiveExtractor.h"

#include "ArchiveWriter.h"
#include "CliRun.h"
#include "SandboxHome.h"
#include "storeservice/StoreProcess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <memory>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// What a program prints on its standard output, trimmed; empty when it did not run.
QString outputOf(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30'000) ? QString::fromUtf8(process.readAllStandardOutput()).trimmed() : QString();
}

// The application folder of one version, as tests/fixtures/selfupdate/AppRun stands in for it.
bool makeAppFolder(const QString &folder, const QString &version) {
    const QString appRun = folder + u"/AppRun"_s;
    return QDir().mkpath(folder) && QFile::copy(fixtureFolder(u"selfupdate/AppRun"_s), appRun) &&
           QFile::setPermissions(appRun, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
           writeFile(folder + u"/version"_s, version.toUtf8());
}

// A zip of <workspace>/<entry>, the folder and everything below it.
bool zip(const QString &archive, const QString &workspace, const QString &entry) {
    ArchiveWriter writer(archive);
    writer.addFolder(entry);
    writer.addTree(workspace + u'/' + entry, entry + u'/');
    return writer.finish();
}

class SelfUpdateCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        installedVersion = outputOf(QString::fromUtf8(KLV_CLI_BINARY), {u"--version"_s}).sliced(4);
        ASSERT_FALSE(installedVersion.isEmpty());
        newVersion = installedVersion + u".1"_s;
        ASSERT_TRUE(QDir().mkpath(bucket()));
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(KLV_DEMO_DIR "/files/bucket/updateKLVApp.zip"),
                                bucket() + u"updateKLVApp.zip"_s));
        ASSERT_TRUE(setCatalog(QJsonObject{{u"appVersion"_s, newVersion}}));
        ASSERT_TRUE(makeAppFolder(appBundle(), u"0.9"_s));
        ASSERT_TRUE(serveAppVersion(newVersion));
    }

    bool startStore(const QStringList &arguments = {}) {
        store = std::make_unique<storeservice::StoreProcess>(catalog.path(), arguments);
        const bool started = store->start();
        EXPECT_TRUE(started) << store->errorString().toStdString();
        return started;
    }
    bool setCatalog(const QJsonObject &content) const {
        return writeFile(catalog.filePath(u"store.json"_s), QJsonDocument(content).toJson());
    }
    // Puts "KLV+App.zip" holding the application folder of that version in the bucket, its SHA-256 beside it.
    // A marker file ("fails", "stays") goes into the folder with its content.
    bool serveAppVersion(const QString &version, const QString &marker = {}, const QByteArray &content = {}) const {
        QTemporaryDir workspace;
        const QString folder = workspace.filePath(u"KLV App.app"_s);
        return makeAppFolder(folder, version) && (marker.isEmpty() || writeFile(folder + u'/' + marker, content)) &&
               zip(bucket() + u"KLV+App.zip"_s, workspace.path(), u"KLV App.app"_s) &&
               writeFile(bucket() + u"KLV+App.zip.sha256"_s, sha256Of(bucket() + u"KLV+App.zip"_s) + "  KLV+App.zip\n");
    }
    static QByteArray sha256Of(const QString &path) {
        return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256).toHex();
    }
    QStringList leftBeside() const {
        return QDir(applications()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    CliResult selfUpdate(const QStringList &options = {}) const {
        QProcessEnvironment environment = home.environment();
        environment.insert(u"KLV_STORE_URL"_s, store->url());
        environment.insert(u"KLV_DOWNLOAD_BUCKET_URL"_s, store->url() + u"/files/bucket/"_s);
        return runKlv(QStringList{u"self-update"_s} + options, environment);
    }
    // Waits until the updater has finished its count-th run, which it ends with a log line, and the applications
    // it started (one per run unless said otherwise) have noted their start; the versions started so far.
    QStringList waitForUpdater(qsizetype count, qsizetype startCount = 0) const {
        waitUntil([&] {
            return appStarts().size() >= qMax(count, startCount) &&
                   logLines().filter(u"KLV App Updater: "_s).size() >= count;
        });
        return appStarts();
    }
    // The versions of the application started so far, as each noted its start.
    QStringList appStarts() const {
        return QString::fromUtf8(readFile(home.filePath(u".klv-app-starts"_s))).split(u'\n', Qt::SkipEmptyParts);
    }
    QString installedAnswer() const { return outputOf(appBundle() + u"/AppRun"_s, {u"--version"_s}); }
    QStringList logLines() const {
        return QString::fromUtf8(readFile(applications() + u"Vantory/Log/KLVAppLog.txt"_s))
            .split(u'\n', Qt::SkipEmptyParts);
    }
    QString bucket() const { return catalog.filePath(u"files/bucket/"_s); }
    QString applications() const { return home.filePath(u".local/share/klv-app/Applications/"_s); }
    QString appBundle() const { return applications() + u"KLV App.app"_s; }
    QString sharedContainer() const {
        return home.filePath(u".local/share/klv-app/Group Containers/group.com.vantory.klvapp/"_s);
    }

    SandboxHome home;
    QTemporaryDir catalog;
    std::unique_ptr<storeservice::StoreProcess> store;
    QString installedVersion;
    QString newVersion;
};

TEST_F(SelfUpdateCliTest, DownloadsTheNewVersionAndTheUpdaterSwapsItIn) {
    ASSERT_TRUE(startStore());
    const CliResult result = selfUpdate({u"--json"_s});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QJsonObject outcome = QJsonDocument::fromJson(result.out.toUtf8()).object();
    EXPECT_EQ(outcome, (QJsonObject{{u"installedVersion"_s, installedVersion},
                                    {u"storeVersion"_s, newVersion},
                                    {u"updateAvailable"_s, true},
                                    {u"updateStarted"_s, true},
                                    {u"version"_s, 1}}))
        << result.out.toStdString();
    EXPECT_TRUE(result.err.contains(u"New version of KLV App is avaliable "_s + newVersion +
                                    u", compare to current "_s + installedVersion))
        << result.err.toStdString();

    EXPECT_EQ(waitForUpdater(1), QStringList{newVersion}) << logLines().join(u'\n').toStdString();
    EXPECT_EQ(installedAnswer(), u"klv "_s + newVersion);
    EXPECT_EQ(QDir(applications()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{u"KLV App.app"_s, u"Vantory"_s}))
        << "neither the old version nor the unpacked archive is left behind";
    EXPECT_TRUE(QFileInfo(sharedContainer() + u"updateKLVApp.app/AppRun"_s).isExecutable());
    EXPECT_FALSE(QFileInfo::exists(sharedContainer() + u"KLV App.zip"_s));
    EXPECT_EQ(logLines().filter(u"KLV App Updater: KLV App was updated"_s).size(), 1);
}

TEST_F(SelfUpdateCliTest, ADamagedArchiveLeavesTheOldVersionInPlaceAndRunning) {
    ASSERT_TRUE(startStore());
    // The new version with a large incompressible file, so that damage lands in packed data.
    QTemporaryDir workspace;
    ASSERT_TRUE(makeAppFolder(workspace.filePath(u"KLV App.app"_s), newVersion));
    QByteArray payload(256 * 1024, '\0');
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = char(QRandomGenerator::global()->bounded(256));
    ASSERT_TRUE(writeFile(workspace.filePath(u"KLV App.app/payload"_s), payload));
    ASSERT_TRUE(zip(workspace.filePath(u"new.zip"_s), workspace.path(), u"KLV App.app"_s));
    const QByteArray whole = readFile(workspace.filePath(u"new.zip"_s));
    QByteArray flipped = whole;
    flipped[whole.size() / 2] = char(~flipped[whole.size() / 2]);
    ASSERT_TRUE(makeAppFolder(workspace.filePath(u"Other.app"_s), newVersion));
    ASSERT_TRUE(zip(workspace.filePath(u"other.zip"_s), workspace.path(), u"Other.app"_s));

    struct Damage {
        const char *what;
        QByteArray archive;
        QString reason;
    };
    // Each is served whole: only a check of the archive itself can tell.
    const QList<Damage> damages{
        {"cut short", whole.first(whole.size() / 2), u"the archive is damaged or not an archive"_s},
        {"one byte changed", flipped, u"the archive is damaged or not an archive"_s},
        {"without the application folder", readFile(workspace.filePath(u"other.zip"_s)),
         u"the archive holds no “KLV App.app” folder"_s},
    };
    // Without a checksum from the store, the archive's own contents decide, before klv hands anything over.
    ASSERT_TRUE(QFile::remove(bucket() + u"KLV+App.zip.sha256"_s));
    for (const Damage &damage : damages) {
        ASSERT_TRUE(writeFile(bucket() + u"KLV+App.zip"_s, damage.archive));
        const CliResult result = selfUpdate();
        EXPECT_EQ(result.exitCode, 1) << damage.what << ": " << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(u"was not offered: "_s + damage.reason))
            << damage.what << ": " << result.err.toStdString();
        EXPECT_FALSE(result.err.contains(u"New version of KLV App"_s)) << damage.what;
    }
    EXPECT_TRUE(logLines().filter(u"KLV App Updater: "_s).isEmpty()) << "no updater was started";
    EXPECT_EQ(installedAnswer(), u"klv 0.9");
    EXPECT_EQ(QDir(applications()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{u"KLV App.app"_s, u"Vantory"_s}));
}

TEST_F(SelfUpdateCliTest, AnUpdaterThatRefusesStartsWhatAskedForTheUpdateAndLeavesTheReason) {
    // The updater checks again: an archive changed after klv looked at it is refused there.
    QTemporaryDir updater;
    ASSERT_TRUE(ArchiveExtractor()
                    .extract(QStringLiteral(KLV_DEMO_DIR "/files/bucket/updateKLVApp.zip"), updater.path())
                    .succeeded());
    ASSERT_TRUE(serveAppVersion(u"0.5"_s));
    QTemporaryDir elsewhere;
    ASSERT_TRUE(makeAppFolder(elsewhere.filePath(u"Dev.app"_s), u"0.8"_s));
    const QString report = sharedContainer() + u"refused.txt"_s;
    ASSERT_TRUE(QDir().mkpath(sharedContainer()));
    QProcess run;
    run.start(updater.filePath(u"updateKLVApp.app/AppRun"_s),
              {u"--app"_s, appBundle(), u"--archive"_s, bucket() + u"KLV+App.zip"_s, u"--pid"_s, u"999999"_s,
               u"--log"_s, applications() + u"Vantory/Log/KLVAppLog.txt"_s, u"--installed-version"_s, u"0.9"_s,
               u"--relaunch"_s, elsewhere.filePath(u"Dev.app/AppRun"_s), u"--report"_s, report});
    ASSERT_TRUE(run.waitForFinished(60'000));
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_EQ(waitForUpdater(1), QStringList{u"0.8"_s}) << "the program that asked, wherever it was started from";
    EXPECT_EQ(installedAnswer(), u"klv 0.9");
    EXPECT_TRUE(QString::fromUtf8(readFile(report)).contains(u"which is not newer than the installed 0.9"_s))
        << readFile(report).toStdString();
}

TEST_F(SelfUpdateCliTest, AVersionSetAsideByAStoppedSwapIsPutBackBeforeAnythingIsRemoved) {
    // Where folders cannot be exchanged in one step, an updater stopped between its renames leaves no application
    // at its path and the previous version in its staging folder.
    QTemporaryDir updater;
    ASSERT_TRUE(ArchiveExtractor()
                    .extract(QString::fromUtf8(KLV_DEMO_DIR "/files/bucket/updateKLVApp.zip"), updater.path())
                    .succeeded());
    const QString staging = applications() + u".KLV App.app.update-Ab12Cd"_s;
    ASSERT_TRUE(QDir(appBundle()).removeRecursively());
    ASSERT_TRUE(makeAppFolder(staging + u"/previous"_s, u"0.9"_s));
    ASSERT_TRUE(serveAppVersion(u"0.5"_s));
    QProcess run;
    run.start(updater.filePath(u"updateKLVApp.app/AppRun"_s),
              {u"--app"_s, appBundle(), u"--archive"_s, bucket() + u"KLV+App.zip"_s, u"--pid"_s, u"999999"_s,
               u"--log"_s, applications() + u"Vantory/Log/KLVAppLog.txt"_s, u"--installed-version"_s, u"0.9"_s});
    ASSERT_TRUE(run.waitForFinished(60'000));
    EXPECT_EQ(installedAnswer(), u"klv 0.9") << logLines().join(u'\n').toStdString();
    EXPECT_EQ(waitForUpdater(1), QStringList{u"0.9"_s}) << "the version put back is started again";
    EXPECT_FALSE(QFileInfo::exists(staging));
    EXPECT_EQ(logLines().filter(u"put back the version a stopped update had set aside"_s).size(), 1);
}

TEST_F(SelfUpdateCliTest, RefusesAnOlderVersionAndAnArchiveThatDoesNotMatchItsChecksum) {
    ASSERT_TRUE(startStore());
    struct Refusal {
        const char *what;
        std::function<bool()> prepare;
        QString reason;
    };
    const QString zeros(64, u'0');
    const QList<Refusal> refusals{
        {"an older version", [&] { return serveAppVersion(u"0.5"_s); },
         u"the archive holds version 0.5, which is not newer than the running "_s + installedVersion},
        {"the installed version", [&] { return serveAppVersion(installedVersion); },
         u"which is not newer than the running "_s + installedVersion},
        {"a checksum file that does not match",
         [&] {
             return serveAppVersion(newVersion) &&
                    writeFile(bucket() + u"KLV+App.zip.sha256"_s, zeros.toLatin1() + "  KLV+App.zip\n");
         },
         u"its SHA-256 is "_s + u"%1, not "_s + zeros},
        {"a version answer whose checksum does not match",
         [&] {
             return serveAppVersion(newVersion) &&
                    setCatalog(QJsonObject{{u"appVersion"_s, newVersion}, {u"appSha256"_s, zeros}});
         },
         u"not "_s + zeros + u" as the store says"_s},
    };
    for (const Refusal &refusal : refusals) {
        ASSERT_TRUE(refusal.prepare()) << refusal.what;
        const QString reason =
            QString(refusal.reason).replace(u"%1"_s, QString::fromLatin1(sha256Of(bucket() + u"KLV+App.zip"_s)));
        const CliResult result = selfUpdate();
        EXPECT_EQ(result.exitCode, 1) << refusal.what << ": " << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(reason)) << refusal.what << ": " << result.err.toStdString();
        EXPECT_EQ(installedAnswer(), u"klv 0.9") << refusal.what;
    }
    EXPECT_TRUE(logLines().filter(u"KLV App Updater: "_s).isEmpty()) << "the store's word alone starts no updater";
    EXPECT_EQ(leftBeside(), (QStringList{u"KLV App.app"_s, u"Vantory"_s}));

    // The checksum in the version answer counts over the file beside the archive.
    ASSERT_TRUE(serveAppVersion(newVersion));
    ASSERT_TRUE(setCatalog(QJsonObject{{u"appVersion"_s, newVersion},
                                       {u"appSha256"_s, QString::fromLatin1(sha256Of(bucket() + u"KLV+App.zip"_s))}}));
    ASSERT_TRUE(writeFile(bucket() + u"KLV+App.zip.sha256"_s, zeros.toLatin1()));
    ASSERT_EQ(selfUpdate().exitCode, 0);
    EXPECT_EQ(waitForUpdater(1), QStringList{newVersion});
    EXPECT_EQ(installedAnswer(), u"klv "_s + newVersion);
}

TEST_F(SelfUpdateCliTest, ANewVersionThatFailsToStartIsReplacedByThePreviousOne) {
    ASSERT_TRUE(startStore());
    ASSERT_TRUE(serveAppVersion(newVersion, u"fails"_s));
    ASSERT_EQ(selfUpdate().exitCode, 0);

    EXPECT_EQ(waitForUpdater(1, 2), (QStringList{newVersion, u"0.9"_s}));
    EXPECT_EQ(installedAnswer(), u"klv 0.9");
    const QStringList logged = logLines().filter(u"KLV App Updater: "_s);
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged[0].contains(u"the update was not installed and the previous version was started again: the "
                                   u"new version did not start: it ended at its start with status 1"_s))
        << logged[0].toStdString();
    EXPECT_EQ(leftBeside(), (QStringList{u"KLV App.app"_s, u"Vantory"_s}));
}

TEST_F(SelfUpdateCliTest, AnUpdaterKilledAtAnyPointLeavesACompleteVersion) {
    QTemporaryDir updater;
    ASSERT_TRUE(ArchiveExtractor()
                    .extract(QString::fromUtf8(KLV_DEMO_DIR "/files/bucket/updateKLVApp.zip"), updater.path())
                    .succeeded());
    // The new version stays up through the updater's watch, so that kills land in it too.
    ASSERT_TRUE(serveAppVersion(newVersion, u"stays"_s, "5"));
    const QString archive = sharedContainer() + u"KLV App.zip"_s;
    ASSERT_TRUE(QDir().mkpath(sharedContainer()));
    ASSERT_TRUE(writeFile(archive, readFile(bucket() + u"KLV+App.zip"_s)));
    QProcess ended;
    ended.start(u"sh"_s, {u"-c"_s, u"echo $$"_s});
    ASSERT_TRUE(ended.waitForFinished());
    const QStringList arguments{u"--app"_s,
                                appBundle(),
                                u"--archive"_s,
                                archive,
                                u"--pid"_s,
                                QString::fromLatin1(ended.readAllStandardOutput().trimmed()),
                                u"--log"_s,
                                applications() + u"Vantory/Log/KLVAppLog.txt"_s,
                                u"--installed-version"_s,
                                installedVersion};

    // Killed as it starts, once it unpacks beside the application (or later, should that pass unseen), and while
    // the new version proves itself.
    qsizetype startsBefore = 0;
    const auto unpacking = [&] {
        return !QDir(applications()).entryList({u".KLV App.app.update-*"_s}, QDir::Dirs | QDir::Hidden).isEmpty() ||
               appStarts().size() > startsBefore;
    };
    const auto newVersionRuns = [&] {
        return appStarts().size() > startsBefore;
    };
    const std::pair<const char *, std::function<bool()>> killPoints[] = {{"as it starts",
                                                                          [] {
                                                                              return true;
                                                                          }},
                                                                         {"while it unpacks", unpacking},
                                                                         {"while the new one runs", newVersionRuns}};
    int killedAfterTheSwap = 0;
    for (const auto &[when, reached] : killPoints) {
        startsBefore = appStarts().size();
        QProcess run;
        run.start(updater.filePath(u"updateKLVApp.app/AppRun"_s), arguments);
        ASSERT_TRUE(run.waitForStarted());
        EXPECT_TRUE(waitUntil(reached)) << when;
        ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
        run.waitForFinished();
        const QString version = QString::fromUtf8(readFile(appBundle() + u"/version"_s));
        EXPECT_TRUE(version == u"0.9"_s || version == newVersion) << "killed " << when;
        EXPECT_TRUE(QFileInfo(appBundle() + u"/AppRun"_s).isExecutable()) << "killed " << when;
        if (version != u"0.9"_s) {
            ++killedAfterTheSwap;
            ASSERT_TRUE(QDir(appBundle()).removeRecursively());
            ASSERT_TRUE(makeAppFolder(appBundle(), u"0.9"_s));
        }
    }

    EXPECT_GT(killedAfterTheSwap, 0) << "no kill landed while the new version was watched";
    EXPECT_LT(killedAfterTheSwap, 3) << "no kill landed before the swap";

    // A run that is let finish removes what the killed ones left.
    QProcess run;
    run.start(updater.filePath(u"updateKLVApp.app/AppRun"_s), arguments);
    ASSERT_TRUE(run.waitForFinished(60'000));
    EXPECT_EQ(run.exitCode(), 0) << logLines().join(u'\n').toStdString();
    EXPECT_EQ(QString::fromUtf8(readFile(appBundle() + u"/version"_s)), newVersion);
    // Beside the application only the maker's folder, where the updater's log went.
    EXPECT_EQ(leftBeside(), (QStringList{u"KLV App.app"_s, u"Vantory"_s}));
    EXPECT_FALSE(logLines().filter(u"KLV App Updater: "_s).isEmpty());
}

TEST_F(SelfUpdateCliTest, AnIncompleteDownloadIsNeitherKeptNorOffered) {
    ASSERT_TRUE(startStore({u"--fault"_s, u"path=/files/bucket/KLV+App.zip,kind=truncate,bytes=100"_s}));
    const CliResult result = selfUpdate();
    EXPECT_EQ(result.exitCode, 3) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u"could not be downloaded"_s)) << result.err.toStdString();
    EXPECT_FALSE(result.err.contains(u"New version of KLV App"_s)) << "no offer without a complete archive";
    EXPECT_EQ(QDir(sharedContainer()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).filter(u"KLV App.zip"_s),
              QStringList());
    EXPECT_FALSE(QFileInfo::exists(sharedContainer() + u"updateKLVApp.app"_s));
    EXPECT_EQ(installedAnswer(), u"klv 0.9");
}

TEST_F(SelfUpdateCliTest, AnEmptyVersionAnswerIsCalledThat) {
    ASSERT_TRUE(startStore({u"--fault"_s, u"rt=getProductVersion,kind=status,status=204"_s}));
    const CliResult result = selfUpdate({u"--check"_s});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains(u"Failed to request the version info"_s)) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u"The store sent an empty answer."_s)) << result.err.toStdString();
    EXPECT_FALSE(result.err.contains(u"sale"_s)) << "no sale was asked for";
}

TEST_F(SelfUpdateCliTest, ChecksReportWithoutDownloading) {
    ASSERT_TRUE(startStore());
    CliResult result = selfUpdate({u"--check"_s});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.trimmed(),
              u"KLV App "_s + installedVersion + u"; the store has "_s + newVersion + u": update available."_s);

    ASSERT_TRUE(setCatalog(QJsonObject{{u"appVersion"_s, installedVersion}}));
    result = selfUpdate();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.endsWith(u": up to date.\n"_s)) << result.out.toStdString();

    ASSERT_TRUE(setCatalog(QJsonObject{}));
    result = selfUpdate({u"--json"_s});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(QJsonDocument::fromJson(result.out.toUtf8()).object().value(u"updateAvailable"_s), false)
        << "no version from the store is no update";

    ASSERT_TRUE(setCatalog(QJsonObject{
        {u"answers"_s, QJsonObject{{u"getProductVersion"_s,
                                    QJsonObject{{u"status"_s, false}, {u"msg"_s, u"Closed for stocktaking"_s}}}}}}));
    result = selfUpdate();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(logLines().filter(u"Closed for stocktaking"_s).size(), 1);

    EXPECT_FALSE(QFileInfo::exists(sharedContainer() + u"KLV App.zip"_s));
    EXPECT_FALSE(QFileInfo::exists(sharedContainer() + u"updateKLVApp.app"_s));
}

TEST_F(SelfUpdateCliTest, ABuildUpdatedByThePackageManagerNeverReplacesItself) {
    ASSERT_TRUE(startStore());
    QProcessEnvironment environment = home.environment();
    environment.insert(u"KLV_STORE_URL"_s, store->url());
    environment.insert(u"KLV_DOWNLOAD_BUCKET_URL"_s, store->url() + u"/files/bucket/"_s);
    environment.insert(u"KLV_SELF_UPDATE"_s, u"OFF"_s);
    const QString note =
        u"KLV App was installed by the system's package manager: updates come from the package manager."_s;

    for (const QStringList &options : {QStringList{}, QStringList{u"--check"_s}}) {
        const CliResult result = runKlv(QStringList{u"self-update"_s} + options, environment);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err.trimmed(), note);
        EXPECT_TRUE(result.out.isEmpty());
    }
    const CliResult json = runKlv({u"self-update"_s, u"--json"_s}, environment);
    const QJsonObject answer = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(answer.value(u"selfUpdate"_s), false);
    EXPECT_EQ(answer.value(u"message"_s), note);
    EXPECT_EQ(answer.value(u"installedVersion"_s), installedVersion);

    EXPECT_FALSE(QFileInfo::exists(sharedContainer() + u"KLV App.zip"_s));
    EXPECT_FALSE(QFileInfo::exists(sharedContainer() + u"updateKLVApp.app"_s));
}

TEST_F(SelfUpdateCliTest, TheBuiltApplicationArchiveRunsKlv) {
    QTemporaryDir unpacked;
    const ArchiveExtractor::Result result =
        ArchiveExtractor().extract(QString::fromUtf8(KLV_DEMO_DIR "/files/bucket/KLV+App.zip"), unpacked.path());
    ASSERT_TRUE(result.succeeded()) << result.error->toStdString();
    EXPECT_EQ(result.topLevelItems, QStringList{u"KLV App.app"_s});
    EXPECT_EQ(outputOf(unpacked.filePath(u"KLV App.app/AppRun"_s), {u"--version"_s}), u"klv "_s + installedVersion);
    EXPECT_EQ(readFile(unpacked.filePath(u"KLV App.app/version"_s)).trimmed(), installedVersion.toUtf8());
    EXPECT_EQ(readFile(QString::fromUtf8(KLV_DEMO_DIR "/files/bucket/KLV+App.zip.sha256")),
              sha256Of(QString::fromUtf8(KLV_DEMO_DIR "/files/bucket/KLV+App.zip")) + "  KLV+App.zip\n");
}

} // namespace
} // namespace klv::test
