#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include <sys/mount.h>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// When klv tells that the store is slow to answer.
constexpr int slowNoticeMs = 4'000;

class OutputConventionsCliTest : public SignedInKlvTest {
protected:
    OutputConventionsCliTest()
        : SignedInKlvTest(fixtureFolder(u"library"_s)) {}

    void TearDown() override {
        if (!mounted.isEmpty())
            ::umount(qPrintable(mounted));
    }

    QProcessEnvironment environment() const override {
        QProcessEnvironment environment = SignedInKlvTest::environment();
        environment.insert(u"TERM"_s, u"xterm"_s);
        return environment;
    }
    // stdout holds one JSON object and nothing else.
    QJsonObject jsonOf(const QStringList &arguments, int exitCode = 0) const {
        const CliResult result = klv(arguments + QStringList{u"--json"_s});
        EXPECT_EQ(result.exitCode, exitCode) << arguments.join(u' ').toStdString() << result.err.toStdString();
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(result.out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError)
            << arguments.join(u' ').toStdString() << result.out.toStdString();
        EXPECT_TRUE(document.isObject());
        EXPECT_EQ(document[u"version"], 1) << arguments.join(u' ').toStdString();
        return document.object();
    }
    QString logFile() const { return home.filePath(u".local/share/klv-app/Applications/Vantory/Log/KLVAppLog.txt"_s); }

    QString mounted;
};

TEST_F(OutputConventionsCliTest, EveryResultIsOneVersionedJsonObjectUnderOurOwnNames) {
    const QJsonObject refresh = jsonOf({u"refresh"_s});
    EXPECT_EQ(refresh[u"library"], u"downloaded"_s);
    EXPECT_EQ(refresh[u"productCount"], 15);
    EXPECT_EQ(refresh[u"added"].toArray().size(), 15);

    const QJsonArray products = jsonOf({u"list"_s})[u"products"].toArray();
    ASSERT_FALSE(products.isEmpty());
    for (const QJsonValue &product : products) {
        EXPECT_TRUE(product[u"number"].isDouble());
        EXPECT_FALSE(product.toObject().contains(u"armCompatiable"_s)) << "not the store's spelling";
    }

    const QJsonObject who = jsonOf({u"whoami"_s});
    EXPECT_EQ(who[u"signedIn"], true);
    EXPECT_EQ(who[u"email"], u"tester@klv.example"_s);

    const QJsonObject doctor = jsonOf({u"doctor"_s});
    EXPECT_FALSE(doctor[u"checks"].toArray().isEmpty());
    EXPECT_FALSE(QJsonDocument(doctor).toJson().contains("FolderURL")) << "folders named in words";

    ASSERT_EQ(klv({u"logout"_s}).exitCode, 0);
    const CliResult signedOut = klv({u"whoami"_s});
    EXPECT_EQ(signedOut.exitCode, 5) << "signed out has the one exit code of every command";
    EXPECT_EQ(signedOut.out, u"signed out\n"_s);
    EXPECT_EQ(jsonOf({u"whoami"_s}, 5), (QJsonObject{{u"signedIn"_s, false}, {u"version"_s, 1}}));
    // Refused before anything ran: the same exit code, and JSON still answers when asked for.
    for (const QString &command : {u"list"_s, u"outdated"_s, u"refresh"_s, u"rewards"_s, u"verify"_s}) {
        const QJsonObject refused = jsonOf({command}, 5);
        EXPECT_EQ(refused[u"exitCode"], 5) << command.toStdString();
        EXPECT_TRUE(refused[u"error"].toString().startsWith(u"Not signed in."_s)) << command.toStdString();
    }
    EXPECT_EQ(klv({u"install"_s, u"Twin Titles"_s, u"-y"_s}).exitCode, 5);
    EXPECT_EQ(klv({u"repair"_s, u"Twin Titles"_s, u"-y"_s}).exitCode, 5);
}

TEST_F(OutputConventionsCliTest, UnknownNamesSuggestTheClosestCaseFirst) {
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    const CliResult cased = klv({u"install"_s, u"AURORA GLOW"_s});
    EXPECT_EQ(cased.exitCode, 2);
    EXPECT_TRUE(cased.err.contains(
        u"No product \"AURORA GLOW\" in your library (see klv list). Did you mean \"aurora Glow\""_s))
        << cased.err.toStdString();
    const CliResult typo = klv({u"uninstall"_s, u"Zeta Titels"_s, u"--yes"_s});
    EXPECT_EQ(typo.exitCode, 2);
    EXPECT_TRUE(typo.err.contains(u"Did you mean \"Zeta Titles\""_s)) << typo.err.toStdString();
    const CliResult page = klv({u"open"_s, u"zeta titles"_s});
    EXPECT_EQ(page.exitCode, 2);
    EXPECT_TRUE(page.err.contains(u"Did you mean \"Zeta Titles\""_s)) << page.err.toStdString();
    const CliResult nothingClose = klv({u"install"_s, u"Completely Different"_s});
    EXPECT_FALSE(nothingClose.err.contains(u"Did you mean"_s)) << nothingClose.err.toStdString();
}

TEST_F(OutputConventionsCliTest, ColourOnlyOnATerminalWithoutNoColor) {
    QDir().mkpath(home.filePath(u"Videos/Motion Templates.localized/Titles.localized/KLV - Twin Titles"_s));
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    const CliResult coloured = runKlvOnTerminal({u"list"_s, u"--filter"_s, u"installed"_s}, environment());
    EXPECT_TRUE(coloured.out.contains(u"\x1b[32m   730  Twin Titles"_s)) << coloured.out.toStdString();
    QProcessEnvironment noColour = environment();
    noColour.insert(u"NO_COLOR"_s, u"1"_s);
    const CliResult plain = runKlvOnTerminal({u"list"_s, u"--filter"_s, u"installed"_s}, noColour);
    EXPECT_TRUE(plain.out.contains(u"   730  Twin Titles"_s));
    EXPECT_FALSE(plain.out.contains(u'\x1b')) << plain.out.toStdString();
    EXPECT_FALSE(klv({u"list"_s}).out.contains(u'\x1b')) << "not into a pipe";
}

TEST_F(OutputConventionsCliTest, DoctorSaysWhatFailsAndHowToFixIt) {
    const CliResult healthy = klv({u"doctor"_s});
    EXPECT_TRUE(healthy.out.contains(u"  ok   Store: answers at " + store.url())) << healthy.out.toStdString();
    EXPECT_TRUE(healthy.out.contains(u"Motion templates (Movies folder)"_s));
    EXPECT_FALSE(healthy.out.contains(u"FolderURL"_s)) << "no internal names";
    EXPECT_TRUE(healthy.out.contains(u"Notifications"_s));

    if (::geteuid() == 0) {
        const QString movies = home.filePath(u"Videos"_s);
        QDir().mkpath(movies);
        ASSERT_EQ(::mount("tmpfs", qPrintable(movies), "tmpfs", 0, "size=2m"), 0);
        mounted = movies;
    }
    ASSERT_TRUE(store.stop());
    const CliResult ailing = klv({u"doctor"_s});
    EXPECT_EQ(ailing.exitCode, 1);
    EXPECT_TRUE(ailing.out.contains(u"  FAIL Store: no answer from " + store.url())) << ailing.out.toStdString();
    EXPECT_TRUE(ailing.out.contains(u"To fix: start the store or check the network"_s));
    if (!mounted.isEmpty()) {
        EXPECT_TRUE(ailing.out.contains(u"  FAIL Free space for Motion templates (Movies folder), Composites: "_s))
            << ailing.out.toStdString();
        EXPECT_TRUE(ailing.out.contains(u"To fix: make room on " + mounted));
    }
}

TEST_F(OutputConventionsCliTest, AnAbsentOrSlowStoreIsSaidOnceInWholeSentences) {
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    editCatalog([](QJsonObject &root) {
        root[u"faults"_s] = QJsonArray{QJsonObject{
            {u"rt"_s, u"getProductCommitNumber"_s}, {u"kind"_s, u"delay"_s}, {u"delayMs"_s, 2 * slowNoticeMs}}};
    });
    QProcess slow;
    slow.setProcessEnvironment(environment());
    slow.start(QString::fromUtf8(KLV_CLI_BINARY), {u"refresh"_s});
    const QByteArray notice = readUntil(slow, QProcess::StandardError, "slow to answer", 3 * slowNoticeMs);
    EXPECT_EQ(notice, "The store is slow to answer; still waiting (at most 60 seconds).\n");
    ASSERT_TRUE(slow.state() == QProcess::NotRunning || slow.waitForFinished(30'000));
    EXPECT_EQ(slow.exitCode(), 0);
    EXPECT_FALSE(slow.readAllStandardOutput().isEmpty()) << "the answer once it came";
    EXPECT_FALSE(klv({u"whoami"_s}).err.contains(u"slow"_s));

    // Qt's own messages go to the log, never into klv's lines.
    QProcessEnvironment qtTalking = environment();
    qtTalking.insert(u"QT_LOGGING_RULES"_s, u"qt.core.filesystemwatcher.debug=true;klv.store.debug=true"_s);
    const CliResult talked = runKlv({u"sale"_s}, qtTalking);
    EXPECT_FALSE(talked.err.contains(u"adding"_s)) << talked.err.toStdString();
    EXPECT_FALSE(talked.err.contains(u"Request"_s)) << talked.err.toStdString();
    const QString logged = QString::fromUtf8(readFile(logFile()));
    EXPECT_TRUE(logged.contains(u"Qt (qt.core.filesystemwatcher): adding"_s));
    EXPECT_TRUE(logged.contains(u"Diagnostic (klv.store, debug): Answer 200"_s)) << "an area a rule asked for";

    ASSERT_TRUE(store.stop());
    const QString unreachable = u"The store could not be reached: the store refused the connection.\n"_s;
    const CliResult sale = klv({u"sale"_s});
    EXPECT_EQ(sale.exitCode, 3);
    EXPECT_EQ(sale.err.count(unreachable), 1) << "both requests failed alike: " << sale.err.toStdString();

    const CliResult free = klv({u"free"_s});
    EXPECT_EQ(free.exitCode, 3);
    EXPECT_TRUE(free.err.startsWith(unreachable + u"Leaving out the products of the library as last known.\n"))
        << free.err.toStdString();
    EXPECT_EQ(free.err.count(unreachable), 1) << free.err.toStdString();
}

TEST_F(OutputConventionsCliTest, TheLogShownFollowedAndVerbose) {
    const CliResult verbose = klv({u"refresh"_s, u"--verbose"_s});
    ASSERT_EQ(verbose.exitCode, 0);
    EXPECT_TRUE(verbose.err.contains(u"log: "_s)) << "log lines as they are written: " << verbose.err.toStdString();
    EXPECT_FALSE(klv({u"refresh"_s}).err.contains(u"log: "_s));

    const CliResult log = klv({u"log"_s});
    EXPECT_EQ(log.exitCode, 0);
    const QStringList entries = QString::fromUtf8(readFile(logFile())).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(log.out, entries.join(u'\n') + u'\n');

    QProcess follow;
    follow.setProcessEnvironment(environment());
    follow.start(QString::fromUtf8(KLV_CLI_BINARY), {u"log"_s, u"--follow"_s});
    // It follows once it has shown what was there.
    const QByteArray shown = readUntil(follow, QProcess::StandardOutput, entries.constLast().toUtf8());
    ASSERT_TRUE(shown.contains(entries.constLast().toUtf8())) << shown.toStdString();
    QFile file(logFile());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\nwritten later");
    file.close();
    const QByteArray seen = readUntil(follow, QProcess::StandardOutput, "written later\n", 5'000);
    EXPECT_TRUE(seen.contains("written later\n")) << seen.toStdString();
    ::kill(pid_t(follow.processId()), SIGINT);
    ASSERT_TRUE(follow.waitForFinished(10'000));
    EXPECT_EQ(follow.exitCode(), 0);
}

TEST_F(OutputConventionsCliTest, TheSaleAlertNamesNoAddress) {
    ASSERT_TRUE(store.stop());
    const CliResult sale = klv({u"sale"_s});
    EXPECT_EQ(sale.exitCode, 3);
    EXPECT_TRUE(sale.err.contains(u"Alert: Failed to request the get marketing info\n"_s)) << sale.err.toStdString();
    EXPECT_FALSE(sale.err.contains(u"klv-app-marketing"_s)) << sale.err.toStdString();
}

} // namespace
} // namespace klv::test
