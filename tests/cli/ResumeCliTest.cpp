#include "ArchiveWriter.h"
#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <array>
#include <csignal>
#include <string>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// Where in the package a download is cut.
enum class Cut { firstByte, midEntry, centralDirectory, lastByte };
// What ends the run that was cut: the store's cut outlasting every attempt, or kill -9 while it waits for the next.
enum class Ending { attemptsRunOut, killed };

// A package download that is cut continues where it stopped: within the run after a pause, and in the next run
// from the bytes the earlier one left, whatever ended it.
class ResumeCliTest : public SignedInKlvTest {
protected:
    static constexpr int templateCount = 8;
    static constexpr qsizetype mediaBytes = 256 * 1024;

    void prepareCatalog() override { servePackage('a'); }

    QProcessEnvironment environment() const override { return retryingAfter(u"20"_s); }
    QProcessEnvironment retryingAfter(const QString &retryDelayMs) const {
        QProcessEnvironment environment = SignedInKlvTest::environment();
        environment.insert(u"KLV_DOWNLOAD_RETRY_DELAY_MS"_s, retryDelayMs);
        return environment;
    }
    std::unique_ptr<QProcess> startKlv(const QStringList &arguments, const QProcessEnvironment &environment) const {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->start(QString::fromUtf8(KLV_CLI_BINARY), arguments);
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }
    QString package() const { return catalog.filePath(u"files/templates/fixture-titles.zip"_s); }
    // Fixture Titles as templates with incompressible media, so that the package is a couple of megabytes.
    void servePackage(char marker) const {
        ArchiveWriter zip(package());
        for (int i = 0; i < templateCount; ++i) {
            QByteArray media(mediaBytes, marker);
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(media.data() + 1024),
                                                  (mediaBytes - 1024) / qsizetype(sizeof(quint32)));
            const QString folder = u"Fixture Titles/Titles/KLV - Fixture Titles/T%1/"_s.arg(i);
            zip.addFile(folder + u"T%1.moti"_s.arg(i), "\t<layout>1\n");
            zip.addFile(folder + u"media.bin"_s, media);
        }
        ASSERT_TRUE(zip.finish()) << zip.errorString().toStdString();
    }
    qint64 cutOffset(Cut cut) const {
        const QByteArray zip = readFile(package());
        // The end record's last fields: the list of entries' size, then where it starts.
        const qint64 listStart = qFromLittleEndian<quint32>(zip.constData() + zip.size() - 6);
        switch (cut) {
        case Cut::firstByte:
            return 1;
        case Cut::midEntry:
            return zip.size() / 3;
        case Cut::centralDirectory:
            return listStart + 100;
        case Cut::lastByte:
            return zip.size() - 1;
        }
        return 0;
    }
    void setFaults(const QJsonArray &faults) const {
        editCatalog([&faults](QJsonObject &root) { root[u"faults"] = faults; });
    }
    static QJsonObject onPackage(const QString &kind, const QJsonObject &settings) {
        QJsonObject fault = settings;
        fault[u"path"_s] = u"/files/templates/fixture-titles.zip"_s;
        fault[u"kind"_s] = kind;
        return fault;
    }
    QString downloadFolder() const {
        return home.filePath(u".local/share/klv-app/Applications/Vantory/KLV-Download/"_s);
    }
    QString partial() const { return downloadFolder() + u"Fixture Titles#templates.partial"_s; }
    QByteArray installedMedia() const {
        return readFile(
            home.filePath(u"Videos/Motion Templates.localized/Titles.localized/KLV - Fixture Titles/T0/media.bin"_s));
    }
    // The byte the run's download continued at, from its log line.
    static qint64 resumedAt(const CliResult &result, const QString &product = u"Fixture Titles"_s) {
        const QRegularExpression line(u"Resumed the download of "_s + QRegularExpression::escape(product) +
                                      u" at (\\d+) of"_s);
        return line.match(result.err).captured(1).toLongLong();
    }
    static QString resumeHint() { return u"run klv install 'Fixture Titles' again to resume."_s; }
};

class CutDownloadTest : public ResumeCliTest, public ::testing::WithParamInterface<std::tuple<Cut, Ending>> {};

TEST_P(CutDownloadTest, TheNextInstallAsksOnlyForTheRestAndInstallsTheWholePackage) {
    const auto [cut, ending] = GetParam();
    const qint64 at = cutOffset(cut);
    setFaults({onPackage(u"truncate"_s, {{u"bytes"_s, at}})});
    if (ending == Ending::attemptsRunOut) {
        const CliResult failed = klv({u"install"_s, u"Fixture Titles"_s});
        EXPECT_EQ(failed.exitCode, 4) << failed.err.toStdString();
        EXPECT_TRUE(failed.err.contains(u"Reconnecting… (2/5)"_s)) << failed.err.toStdString();
        EXPECT_TRUE(failed.err.contains(u"Reconnecting… (5/5)"_s));
        EXPECT_TRUE(failed.err.contains(resumeHint())) << failed.err.toStdString();
    } else {
        // The pause before the second attempt is long: klv is killed while it waits, the cut bytes on disk.
        const auto killed = startKlv({u"install"_s, u"Fixture Titles"_s}, retryingAfter(u"600000"_s));
        ASSERT_FALSE(readUntil(*killed, QProcess::StandardError, "Reconnecting… (2/5)", 90'000).isEmpty());
        ::kill(pid_t(killed->processId()), SIGKILL);
        ASSERT_TRUE(killed->waitForFinished());
    }
    const qint64 kept = QFileInfo(partial()).size();
    // When a connection breaks, Qt may drop what it had not yet taken from the socket: a killed run keeps what it had
    // written, up to the cut; one whose attempts ran out had gone on from there to the cut.
    if (ending == Ending::attemptsRunOut)
        EXPECT_EQ(kept, at) << "what came is kept";
    else
        EXPECT_LE(kept, at) << "what came is kept";
    EXPECT_FALSE(
        QFileInfo::exists(home.filePath(u"Videos/Motion Templates.localized/Titles.localized/KLV - Fixture Titles"_s)))
        << "nothing of a partial package is placed";

    setFaults({});
    const CliResult resumed = klv({u"install"_s, u"Fixture Titles"_s, u"--verbose"_s});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err.toStdString();
    EXPECT_EQ(resumedAt(resumed), kept);
    const QByteArray media = installedMedia();
    EXPECT_EQ(media.size(), mediaBytes);
    EXPECT_EQ(media.at(0), 'a');
    EXPECT_FALSE(QFileInfo::exists(partial()));
    EXPECT_FALSE(QFileInfo::exists(partial() + u".json"_s));
}

std::string caseName(const ::testing::TestParamInfo<CutDownloadTest::ParamType> &info) {
    static const std::array<std::string, 4> cuts{"FirstByte", "MidEntry", "CentralDirectory", "LastByte"};
    const auto [cut, ending] = info.param;
    return cuts[std::size_t(cut)] + (ending == Ending::killed ? "_Killed" : "_AttemptsRunOut");
}

INSTANTIATE_TEST_SUITE_P(AtEveryPartOfTheZip, CutDownloadTest,
                         ::testing::Combine(::testing::Values(Cut::firstByte, Cut::midEntry, Cut::centralDirectory,
                                                              Cut::lastByte),
                                            ::testing::Values(Ending::attemptsRunOut, Ending::killed)),
                         caseName);

TEST_F(ResumeCliTest, ACutWithinTheRunIsTriedAgainAndAChangedPackageStartsOver) {
    // Two error answers and a cut: klv reconnects and completes in the same run.
    setFaults({onPackage(u"status"_s, {{u"status"_s, 503}, {u"times"_s, 2}})});
    const CliResult unavailable = klv({u"install"_s, u"Fixture Titles"_s});
    ASSERT_EQ(unavailable.exitCode, 0) << unavailable.err.toStdString();
    EXPECT_TRUE(unavailable.err.contains(u"Reconnecting… (3/5)"_s)) << unavailable.err.toStdString();
    EXPECT_FALSE(unavailable.err.contains(u"Reconnecting… (4/5)"_s));
    ASSERT_EQ(klv({u"uninstall"_s, u"--yes"_s, u"Fixture Titles"_s}).exitCode, 0);

    // Cut for good, then the store's package changes: its validator no longer matches and the download starts over.
    setFaults({onPackage(u"truncate"_s, {{u"bytes"_s, 600 * 1024}})});
    ASSERT_EQ(klv({u"install"_s, u"Fixture Titles"_s}).exitCode, 4);
    servePackage('b');
    setFaults({});
    const CliResult fresh = klv({u"install"_s, u"Fixture Titles"_s, u"--verbose"_s});
    ASSERT_EQ(fresh.exitCode, 0) << fresh.err.toStdString();
    EXPECT_EQ(resumedAt(fresh), 0) << "nothing of the old package was kept";
    EXPECT_EQ(installedMedia().at(0), 'b');
}

TEST_F(ResumeCliTest, CtrlCKeepsTheDownloadAndSaysHowToResumeIt) {
    setFaults({onPackage(u"throttle"_s, {{u"bytesPerSecond"_s, 400 * 1024}})});
    const auto interrupted = startKlv({u"install"_s, u"Fixture Titles"_s}, environment());
    ASSERT_TRUE(waitUntil([this] { return QFileInfo(partial()).size() > 300 * 1024; }));
    ::kill(pid_t(interrupted->processId()), SIGINT);
    ASSERT_TRUE(interrupted->waitForFinished());
    EXPECT_EQ(interrupted->exitCode(), 130);
    const QString said = QString::fromUtf8(interrupted->readAllStandardError());
    const qint64 kept = QFileInfo(partial()).size();
    EXPECT_GT(kept, 300 * 1024);
    static const QRegularExpression paused(u"Download paused at [0-9.]+ [KM]B of [0-9.]+ MB; "_s +
                                           QRegularExpression::escape(resumeHint()));
    EXPECT_TRUE(paused.match(said).hasMatch()) << said.toStdString();

    setFaults({});
    const CliResult resumed = klv({u"install"_s, u"Fixture Titles"_s, u"--verbose"_s});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err.toStdString();
    EXPECT_EQ(resumedAt(resumed), kept);
}

TEST_F(ResumeCliTest, CompositeAndResolvePackagesContinueInTheNextRunToo) {
    struct Package {
        QString product;
        QString part;
        QString path;
    };
    const QList<Package> packages{
        {u"Fixture Scratches"_s, u"composite"_s, u"/files/composites/fixture-scratches.zip"_s},
        {u"Fixture Flares"_s, u"composite"_s, u"/files/composites/fixture-flares.mov"_s},
        {u"Fixture Grade DVR"_s, u"dvr"_s, u"/files/resolve/fixture-grade-dvr.zip"_s},
    };
    for (const Package &package : packages) {
        SCOPED_TRACE(package.product.toStdString());
        const qint64 size = QFileInfo(catalog.path() + package.path).size();
        const qint64 cut = size / 2;
        QJsonObject fault{{u"path"_s, package.path}, {u"kind"_s, u"truncate"_s}, {u"bytes"_s, cut}};
        setFaults({fault});
        const CliResult failed = klv({u"install"_s, package.product});
        EXPECT_EQ(failed.exitCode, 4) << failed.err.toStdString();
        const QString partial = downloadFolder() + package.product + u'#' + package.part + u".partial"_s;
        EXPECT_EQ(QFileInfo(partial).size(), cut) << "what came is kept";

        setFaults({});
        const CliResult resumed = klv({u"install"_s, package.product, u"--verbose"_s});
        ASSERT_EQ(resumed.exitCode, 0) << resumed.err.toStdString();
        EXPECT_EQ(resumedAt(resumed, package.product), cut) << resumed.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(partial));
        EXPECT_FALSE(QFileInfo::exists(partial + u".json"_s));
        EXPECT_TRUE(klv({u"list"_s, u"--filter"_s, u"installed"_s}).out.contains(package.product));
    }
    EXPECT_EQ(QDir(downloadFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{u"Fixture Grade DVR.zip"_s})
        << "no partial is left; the Resolve package stays under its own name";
}

TEST_F(ResumeCliTest, PartialsAWeekOldOrOfProductsNoLongerInTheLibraryGoAtStartUp) {
    const auto leavePartial = [this](const QString &product, int daysOld) {
        const QString path = downloadFolder() + product + u"#templates.partial"_s;
        writeFile(path, QByteArray(1000, 'x'));
        writeFile(path + u".json"_s, R"({"url":"http://127.0.0.1/x.zip","etag":"\"1\""})");
        for (const QString &file : QStringList{path, path + u".json"_s}) {
            QFile handle(file);
            EXPECT_TRUE(handle.open(QIODevice::ReadWrite));
            EXPECT_TRUE(
                handle.setFileTime(QDateTime::currentDateTime().addDays(-daysOld), QFileDevice::FileModificationTime));
        }
        return path;
    };
    ASSERT_EQ(klv({u"list"_s}).exitCode, 0) << "the library is known";
    const QString old = leavePartial(u"Fixture Titles"_s, 8);
    const QString gone = leavePartial(u"Discontinued Pack"_s, 0);
    const QString recent = leavePartial(u"Fixture Plugins"_s, 0);

    const CliResult listed = klv({u"list"_s});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_FALSE(QFileInfo::exists(old + u".json"_s));
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_TRUE(QFileInfo::exists(recent)) << "a recent partial of a product of the library stays";
}

} // namespace
} // namespace klv::test
