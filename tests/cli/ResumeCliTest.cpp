#include "ArchiveWriter.h"
#include "CliRun.h"
#include "SandboxHome.h"
#include "StoreProcess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// A package download that is cut continues where it stopped: within the run after a pause, and in the next run
// from the bytes the earlier one left, whatever ended it.
class ResumeCliTest : public ::testing::Test {
protected:
    static constexpr int templateCount = 8;
    static constexpr qsizetype mediaBytes = 256 * 1024;

    void SetUp() override {
        copyFolder(QString::fromUtf8(KLV_INSTALL_FIXTURE_DIR), catalog.path());
        servePackage('a');
        ASSERT_TRUE(store.start()) << store.errorString().toStdString();
        ASSERT_EQ(klv({u"login"_s, u"tester"_s, u"--password-stdin"_s}, "secret\n").exitCode, 0);
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = home.environment();
        environment.insert(u"KLV_STORE_URL"_s, store.url());
        environment.insert(u"KLV_DOWNLOAD_RETRY_DELAY_MS"_s, u"20"_s);
        return environment;
    }
    CliResult klv(const QStringList &arguments, const QByteArray &input = {}) const {
        return runKlv(arguments, environment(), input);
    }
    // Fixture Titles as templates with incompressible media, so that the package is a couple of megabytes.
    void servePackage(char marker) const {
        ArchiveWriter zip(catalog.filePath(u"files/templates/fixture-titles.zip"_s));
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
    void setFaults(const QJsonArray &faults) const {
        ASSERT_TRUE(editCatalog(catalog.path(), [&faults](QJsonObject &root) { root[u"faults"] = faults; }));
    }
    static QJsonObject cutAt(qint64 bytes) {
        return {{u"path"_s, u"/files/templates/fixture-titles.zip"_s}, {u"kind"_s, u"truncate"_s}, {u"bytes"_s, bytes}};
    }
    QString partial() const {
        return home.filePath(
            u".local/share/klv-app/Applications/Vantory/KLV-Download/Fixture Titles#templates.partial"_s);
    }
    QByteArray installedMedia() const {
        return readFile(
            home.filePath(u"Videos/Motion Templates.localized/Titles.localized/KLV - Fixture Titles/T0/media.bin"_s));
    }
    // The byte the second run's download continued at, from its log line.
    static qint64 resumedAt(const CliResult &result) {
        static const QRegularExpression line(u"Resumed the download of Fixture Titles at (\\d+) of"_s);
        return line.match(result.err).captured(1).toLongLong();
    }

    SandboxHome home;
    QTemporaryDir catalog;
    StoreProcess store{catalog.path()};
};

TEST_F(ResumeCliTest, ACutDownloadIsTriedAgainThenKeptAndTheNextInstallAsksOnlyForTheRest) {
    const qint64 size = QFileInfo(catalog.filePath(u"files/templates/fixture-titles.zip"_s)).size();
    // The first byte, inside an entry, inside the list of entries and before the last byte.
    for (const qint64 cut : {qint64{1}, size / 3, size - 200, size - 1}) {
        setFaults({cutAt(cut)});
        const CliResult failed = klv({u"install"_s, u"Fixture Titles"_s});
        EXPECT_EQ(failed.exitCode, 4) << cut << failed.err.toStdString();
        EXPECT_TRUE(failed.err.contains(u"Reconnecting… (2/5)"_s)) << failed.err.toStdString();
        EXPECT_TRUE(failed.err.contains(u"Reconnecting… (5/5)"_s));
        EXPECT_EQ(QFileInfo(partial()).size(), cut) << "what came is kept";

        setFaults({});
        const CliResult resumed = klv({u"install"_s, u"Fixture Titles"_s, u"--verbose"_s});
        ASSERT_EQ(resumed.exitCode, 0) << cut << resumed.err.toStdString();
        EXPECT_EQ(resumedAt(resumed), cut);
        EXPECT_EQ(installedMedia().size(), mediaBytes);
        EXPECT_FALSE(QFileInfo::exists(partial()));
        ASSERT_EQ(klv({u"uninstall"_s, u"--yes"_s, u"Fixture Titles"_s}).exitCode, 0);
    }
}

TEST_F(ResumeCliTest, AKilledInstallResumesAndAChangedPackageStartsOver) {
    setFaults({QJsonObject{{u"path"_s, u"/files/templates/fixture-titles.zip"_s},
                           {u"kind"_s, u"throttle"_s},
                           {u"bytesPerSecond"_s, 400 * 1024}}});
    QProcess killed;
    killed.setProcessEnvironment(environment());
    killed.start(QString::fromUtf8(KLV_CLI_BINARY), {u"install"_s, u"Fixture Titles"_s});
    ASSERT_TRUE(waitUntil([this] { return QFileInfo(partial()).size() > 300 * 1024; }));
    ::kill(pid_t(killed.processId()), SIGKILL);
    ASSERT_TRUE(killed.waitForFinished());
    const qint64 left = QFileInfo(partial()).size();

    setFaults({});
    const CliResult resumed = klv({u"install"_s, u"Fixture Titles"_s, u"--verbose"_s});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err.toStdString();
    EXPECT_EQ(resumedAt(resumed), left);
    EXPECT_EQ(installedMedia().at(0), 'a');

    // Cut again, then the store's package changes: its validator no longer matches and the download starts over.
    ASSERT_EQ(klv({u"uninstall"_s, u"--yes"_s, u"Fixture Titles"_s}).exitCode, 0);
    setFaults({cutAt(600 * 1024)});
    ASSERT_EQ(klv({u"install"_s, u"Fixture Titles"_s}).exitCode, 4);
    servePackage('b');
    setFaults({});
    const CliResult fresh = klv({u"install"_s, u"Fixture Titles"_s, u"--verbose"_s});
    ASSERT_EQ(fresh.exitCode, 0) << fresh.err.toStdString();
    EXPECT_EQ(resumedAt(fresh), 0) << "nothing of the old package was kept";
    EXPECT_EQ(installedMedia().at(0), 'b');
}

} // namespace
} // namespace klv::test
