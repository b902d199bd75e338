#include "PseudoTerminal.h"
#include "SignedInKlvTest.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// What klv does before it changes anything: it asks, it offers only what a product's menu offers, and it says
// what it did and did not do.
class ConsentCliTest : public SignedInKlvTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(SignedInKlvTest::SetUp());
        // The commands that work without the store use the library as last known.
        ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    }

    // Runs klv with a terminal as its input, on which the keys are already typed.
    CliResult klvOnTerminal(const QStringList &arguments, const QByteArray &keys) const {
        PseudoTerminal terminal;
        EXPECT_TRUE(terminal.isOpen());
        terminal.type(keys);
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setStandardInputFile(terminal.path());
        process.start(QString::fromUtf8(KLV_CLI_BINARY), arguments);
        CliResult result;
        if (!process.waitForFinished(60'000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }
    QString motion(const QString &type, const QString &name) const {
        return home.filePath(u"Videos/Motion Templates.localized/"_s + type + u".localized/KLV - "_s + name);
    }
    // Installed as far as detection can tell: the product's template folder is there.
    QString placeTemplates(const QString &type, const QString &name) const {
        const QString folder = motion(type, name);
        QDir().mkpath(folder + u"/Template"_s);
        return folder;
    }
    QString composite(const QString &name) const { return home.filePath(u"Videos/KLV Composite/"_s + name); }
    void releaseUpdate(const QString &name) const { ASSERT_TRUE(test::releaseUpdate(catalog.path(), name)); }
};

TEST_F(ConsentCliTest, WithoutATerminalNothingIsRemovedOrReplacedUnlessYesIsGiven) {
    const QString templates = placeTemplates(u"Generators"_s, u"Fixture Extras"_s);
    releaseUpdate(u"Fixture Extras"_s);

    for (const QString &command : {u"uninstall"_s, u"update"_s}) {
        const CliResult refused = klv({command, u"Fixture Extras"_s}, "y\n");
        EXPECT_EQ(refused.exitCode, 2) << command.toStdString();
        EXPECT_TRUE(refused.err.contains(u"--yes"_s)) << refused.err.toStdString();
        EXPECT_TRUE(QFileInfo(templates).isDir());
    }
    EXPECT_EQ(requestsOf(u"requestDownloadInfo"_s) + requestsOf(u"appleCustomLut"_s), 0);

    const CliResult removed = klv({u"uninstall"_s, u"--yes"_s, u"Fixture Extras"_s});
    EXPECT_EQ(removed.exitCode, 0) << removed.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(templates));
}

TEST_F(ConsentCliTest, OnATerminalTheSafeAnswerIsTheDefault) {
    const QString templates = placeTemplates(u"Generators"_s, u"Fixture Extras"_s);
    for (const QByteArray &keys : {QByteArray("\n"), QByteArray("n\n"), QByteArray("No\n")}) {
        const CliResult declined = klvOnTerminal({u"uninstall"_s, u"Fixture Extras"_s}, keys);
        EXPECT_EQ(declined.exitCode, 1) << keys.toStdString() << declined.err.toStdString();
        EXPECT_TRUE(declined.err.contains(u"Are you sure you want to uninstall?"_s)) << declined.err.toStdString();
        EXPECT_TRUE(declined.err.contains(u"Uninstall? [y/N]"_s)) << declined.err.toStdString();
        EXPECT_TRUE(declined.err.contains(u"Cancelled"_s));
        EXPECT_TRUE(QFileInfo(templates).isDir());
    }
    // An answer that is neither is asked again rather than taken for either.
    const CliResult confirmed = klvOnTerminal({u"uninstall"_s, u"Fixture Extras"_s}, "1\nyes\n");
    EXPECT_EQ(confirmed.exitCode, 0) << confirmed.err.toStdString();
    EXPECT_TRUE(confirmed.err.contains(u"Answer y or n."_s));
    EXPECT_FALSE(QFileInfo::exists(templates));

    placeTemplates(u"Generators"_s, u"Fixture Extras"_s);
    releaseUpdate(u"Fixture Extras"_s);
    const CliResult notUpdated = klvOnTerminal({u"update"_s, u"Fixture Extras"_s}, "\n");
    EXPECT_EQ(notUpdated.exitCode, 1);
    EXPECT_TRUE(notUpdated.err.contains(u"Update? [y/N]"_s)) << notUpdated.err.toStdString();
    EXPECT_EQ(requestsOf(u"requestDownloadInfo"_s), 0);
    const CliResult updated = klvOnTerminal({u"update"_s, u"Fixture Extras"_s}, "y\n");
    EXPECT_EQ(updated.exitCode, 0) << updated.err.toStdString();
    EXPECT_EQ(updated.out, u"Updated Fixture Extras\n");
}

TEST_F(ConsentCliTest, OnlyWhatTheProductsMenuOffersIsDoneAndOtherwiseItSaysWhy) {
    const CliResult notInstalled = klv({u"uninstall"_s, u"--yes"_s, u"Fixture Titles"_s});
    EXPECT_EQ(notInstalled.exitCode, 1);
    EXPECT_TRUE(notInstalled.err.contains(u"\"Fixture Titles\" is not installed"_s)) << notInstalled.err.toStdString();
    EXPECT_FALSE(notInstalled.out.contains(u"Uninstalled"_s));

    const CliResult updateNotInstalled = klv({u"update"_s, u"--yes"_s, u"Fixture Titles"_s});
    EXPECT_EQ(updateNotInstalled.exitCode, 1);
    EXPECT_TRUE(updateNotInstalled.err.contains(u"is not installed"_s)) << updateNotInstalled.err.toStdString();
    EXPECT_FALSE(updateNotInstalled.out.contains(u"Installed"_s));

    placeTemplates(u"Titles"_s, u"Fixture Titles"_s);
    const CliResult noUpdate = klv({u"update"_s, u"--yes"_s, u"Fixture Titles"_s});
    EXPECT_EQ(noUpdate.exitCode, 1);
    EXPECT_TRUE(noUpdate.err.contains(u"\"Fixture Titles\" has no update."_s)) << noUpdate.err.toStdString();

    QDir().mkpath(composite(u"Fixture Scratches"_s));
    const CliResult compositeUpdate = klv({u"update"_s, u"--yes"_s, u"Fixture Scratches"_s});
    EXPECT_EQ(compositeUpdate.exitCode, 1);
    EXPECT_TRUE(compositeUpdate.err.contains(u"composite"_s)) << compositeUpdate.err.toStdString();
    // One product that may not be uninstalled keeps the others named with it.
    const CliResult mixed = klv({u"uninstall"_s, u"--yes"_s, u"Fixture Scratches"_s, u"Fixture Plugins"_s});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_TRUE(QFileInfo(composite(u"Fixture Scratches"_s)).isDir());

    EXPECT_EQ(requestsOf(u"requestDownloadInfo"_s) + requestsOf(u"appleCustomLut"_s), 0);
}

TEST_F(ConsentCliTest, AnUninstallSaysWhatWasRemovedAndWhatStays) {
    const QString titles = placeTemplates(u"Titles"_s, u"Fixture Alpha"_s);
    const QString bundle =
        home.filePath(u".local/share/DaVinciResolve/Fusion/Templates/KLV - Fixture Grade DVR.drfx"_s);
    QDir().mkpath(QFileInfo(bundle).path());
    QFile(bundle).open(QIODevice::WriteOnly);

    const CliResult group = klv({u"uninstall"_s, u"--yes"_s, u"Fixture Bundle"_s});
    EXPECT_EQ(group.exitCode, 0) << group.err.toStdString();
    EXPECT_EQ(group.out, u"Uninstalled Fixture Bundle (fonts and plug-ins kept)\n");
    EXPECT_TRUE(group.err.contains(u"Removed "_s + titles)) << group.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(titles));

    const CliResult resolve = klv({u"uninstall"_s, u"--yes"_s, u"Fixture Grade DVR"_s});
    EXPECT_EQ(resolve.exitCode, 0) << resolve.err.toStdString();
    EXPECT_TRUE(resolve.out.startsWith(u"Uninstalled Fixture Grade DVR"_s)) << resolve.out.toStdString();
    EXPECT_TRUE(resolve.err.contains(u"Removed "_s + bundle)) << resolve.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(bundle));
}

TEST_F(ConsentCliTest, OutdatedListsWhatUpdateAllUpdatesAndAnUpdateTouchesOnlyWhatIsInstalled) {
    placeTemplates(u"Titles"_s, u"Fixture Titles"_s);
    placeTemplates(u"Generators"_s, u"Fixture Extras"_s);
    // One member of a bundle installed, with an update; the other member never was.
    placeTemplates(u"Titles"_s, u"Fixture Alpha"_s);
    releaseUpdate(u"Fixture Extras"_s);
    releaseUpdate(u"Fixture Plugins"_s);
    releaseUpdate(u"Fixture Alpha"_s);

    const CliResult outdated = klv({u"outdated"_s});
    EXPECT_EQ(outdated.exitCode, 0) << outdated.err.toStdString();
    EXPECT_EQ(outdated.out, u"Fixture Alpha\nFixture Extras\n")
        << "a release of a product not installed is no update, and a bundle is its installed members";
    const QJsonObject json = QJsonDocument::fromJson(klv({u"outdated"_s, u"--json"_s}).out.toUtf8()).object();
    EXPECT_EQ(json[u"version"_s].toInt(), 1);
    const QJsonArray expected{QJsonObject{{u"number"_s, 6201}, {u"name"_s, u"Fixture Alpha"_s}},
                              QJsonObject{{u"number"_s, 6103}, {u"name"_s, u"Fixture Extras"_s}}};
    EXPECT_EQ(json[u"products"_s].toArray(), expected);

    EXPECT_EQ(klv({u"update"_s, u"--all"_s}).exitCode, 2) << "asks, and there is no terminal";
    const CliResult all = klv({u"update"_s, u"--all"_s, u"--yes"_s});
    EXPECT_EQ(all.exitCode, 0) << all.err.toStdString();
    EXPECT_EQ(all.out, u"Updated Fixture Alpha\nUpdated Fixture Extras\n2 updated\n");
    EXPECT_EQ(requestsOf(u"requestDownloadInfo"_s), 2);
    EXPECT_FALSE(QFileInfo::exists(motion(u"Effects"_s, u"Fixture Beta"_s))) << "never installed, not installed now";

    // What was just updated has no update left, without a library download in between.
    const CliResult after = klv({u"outdated"_s});
    EXPECT_EQ(after.out, QString()) << after.out.toStdString();
    EXPECT_TRUE(after.err.contains(u"Every installed product is up to date."_s)) << after.err.toStdString();
}

TEST_F(ConsentCliTest, ProductsNamedTwiceAreQueuedOnceAndARunEndsWithItsSummary) {
    placeTemplates(u"Generators"_s, u"Fixture Extras"_s);
    const CliResult result = klv(
        {u"install"_s, u"Fixture Titles"_s, u"6101"_s, u"Fixture Titles"_s, u"Fixture Extras"_s, u"Fixture Dotdot"_s});
    EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
    EXPECT_EQ(result.out,
              u"Installed Fixture Titles\nFailed Fixture Dotdot\n1 installed, 1 already installed, 1 failed\n");
    EXPECT_TRUE(result.err.contains(u"Note: \"Fixture Extras\" is already installed"_s)) << result.err.toStdString();
    EXPECT_FALSE(result.err.contains(u"It it"_s));
    EXPECT_EQ(requestsOf(u"requestDownloadInfo"_s), 2);

    const CliResult again = klv({u"install"_s, u"Fixture Titles"_s});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.err.contains(u"already installed"_s));
}

TEST_F(ConsentCliTest, EveryMenuItemHasACommand) {
    const CliResult page = klv({u"open"_s, u"Fixture Titles"_s});
    EXPECT_EQ(page.exitCode, 0) << page.err.toStdString();
    EXPECT_EQ(page.out, store.url() + u"/product/fixture-titles\n");
    EXPECT_EQ(klv({u"open"_s, u"Fixture Scratches"_s}).exitCode, 1) << "a composite has no page";

    const CliResult notThere = klv({u"show"_s, u"Fixture Scratches"_s});
    EXPECT_EQ(notThere.exitCode, 1);
    EXPECT_TRUE(notThere.err.contains(u"not installed"_s)) << notThere.err.toStdString();
    EXPECT_EQ(klv({u"show"_s, u"Fixture Titles"_s}).exitCode, 1) << "only composites have a folder to show";
    QDir().mkpath(composite(u"Fixture Scratches"_s));
    const CliResult folder = klv({u"show"_s, u"Fixture Scratches"_s});
    EXPECT_EQ(folder.exitCode, 0) << folder.err.toStdString();
    EXPECT_EQ(folder.out, composite(u"Fixture Scratches"_s) + u'\n');
}

TEST_F(ConsentCliTest, FiltersShowAGroupThroughItsInstalledOrUpdatedMembers) {
    placeTemplates(u"Titles"_s, u"Fixture Alpha"_s);
    const auto names = [this](const QString &filter) {
        QStringList shown;
        const QJsonArray rows =
            QJsonDocument::fromJson(klv({u"list"_s, u"--json"_s, u"--filter"_s, filter}).out.toUtf8())
                .object()[u"products"_s]
                .toArray();
        for (const QJsonValue &row : rows)
            shown << row[u"name"_s].toString();
        return shown;
    };
    EXPECT_EQ(names(u"installed"_s), QStringList{u"Fixture Bundle"_s});
    EXPECT_TRUE(names(u"not-installed"_s).contains(u"Fixture Bundle"_s)) << "one member is still to install";
    EXPECT_EQ(names(u"updates"_s), QStringList{});
    releaseUpdate(u"Fixture Alpha"_s);
    EXPECT_EQ(names(u"updates"_s), QStringList{u"Fixture Bundle"_s});
    const CliResult text = klv({u"list"_s, u"--filter"_s, u"installed"_s});
    EXPECT_TRUE(text.out.contains(u"Fixture Alpha"_s)) << text.out.toStdString();
}

TEST_F(ConsentCliTest, APasswordPromptEndedBySignalGivesTheEchoBack) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        PseudoTerminal terminal;
        ASSERT_TRUE(terminal.isOpen());
        ASSERT_TRUE(terminal.echoes());
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setStandardInputFile(terminal.path());
        process.start(QString::fromUtf8(KLV_CLI_BINARY), {u"login"_s, u"tester"_s});
        const QByteArray errors = readUntil(process, QProcess::StandardError, "Password: ");
        ASSERT_TRUE(errors.contains("Password: ")) << errors.toStdString();
        EXPECT_TRUE(waitUntil([&] { return !terminal.echoes(); })) << "the password is not shown";
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(10'000));
        EXPECT_TRUE(terminal.echoes()) << "after signal " << signal;
    }
}

} // namespace
} // namespace klv::test
