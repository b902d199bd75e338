#include "LibraryFixture.h"

#include "marketing/MarketingCenter.h"
#include "shell/KLVAppMenuCurveBox.h"
#include "store/Services.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace klv::test {

namespace {

struct Walk {
    int exitCode = -1;
    QString output;
};

} // namespace

// The window as a screen reader reads it: over AT-SPI, from another process, through Qt's accessibility bridge.
// run-walk.sh gives the program a display, a session bus and the walker.
class AccessibilityWalkTest : public LibraryFixture {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("KLV_ACCESSIBILITY_WALKER"))
            GTEST_SKIP() << "run by run-walk.sh, which starts the display, the bus and the walker";
        LibraryFixture::SetUp();
    }

    // Runs the walker while the process (this one unless named) answers its questions.
    static Walk walk(const QStringList &arguments, qint64 pid = QCoreApplication::applicationPid()) {
        QProcess walker;
        walker.setProcessChannelMode(QProcess::MergedChannels);
        walker.start(qEnvironmentVariable("KLV_ACCESSIBILITY_PYTHON"),
                     QStringList{qEnvironmentVariable("KLV_ACCESSIBILITY_WALKER"), QString::number(pid)} + arguments);
        waitUntil([&walker] { return walker.state() == QProcess::NotRunning; }, 120'000);
        const int exitCode = walker.exitStatus() == QProcess::NormalExit ? walker.exitCode() : -1;
        return {exitCode, QString::fromUtf8(walker.readAll())};
    }

    // Every shown control named and of a fitting role; the whole tree is printed when one is not.
    static void expectNamed(const std::string &where) {
        const Walk checked = walk({u"check"_s});
        if (checked.exitCode != 0)
            ADD_FAILURE() << where << ":\n" << checked.output.toStdString() << walk({u"dump"_s}).output.toStdString();
    }

    static QJsonObject row(const QString &name) {
        const Walk shown = walk({u"row"_s, name});
        EXPECT_EQ(shown.exitCode, 0) << shown.output.toStdString();
        return QJsonDocument::fromJson(shown.output.toUtf8()).object();
    }

    void showSection(appMenuIndex section) const {
        ASSERT_TRUE(waitUntil([&] { return window->menuItem(section).isMenuItemEnabled(); }));
        window->showSection(section);
    }
};

TEST_F(AccessibilityWalkTest, EveryScreenIsNamedForAScreenReaderAndARowsButtonInstallsThroughItsAction) {
    expectNamed("My Products");

    // A library row says its name, its state, its sub-line; its product and option buttons are its own.
    const QJsonObject neon = row(u"Neon Signs"_s);
    EXPECT_EQ(neon[u"role"], u"list item"_s);
    EXPECT_EQ(neon[u"description"], u"Install, File Size: 113.00 MB"_s);
    const QJsonArray buttons = neon[u"buttons"].toArray();
    ASSERT_EQ(buttons.size(), 2) << QJsonDocument(neon).toJson().toStdString();
    EXPECT_EQ(buttons[0][u"name"], u"Install"_s);
    EXPECT_EQ(buttons[0][u"role"], u"push button"_s);
    EXPECT_EQ(buttons[0][u"actions"], QJsonArray{u"Press"_s});
    EXPECT_EQ(buttons[1][u"name"], u"Options"_s);
    // The sub-line's Apple mark is a word, not a private-use character.
    EXPECT_TRUE(row(u"Light Leaks"_s)[u"description"].toString().endsWith(u"Apple Silicon Compatible"_s));

    const Walk pressed = walk({u"press"_s, u"Neon Signs"_s, u"Install"_s});
    EXPECT_EQ(pressed.exitCode, 0) << pressed.output.toStdString();
    ASSERT_TRUE(waitUntil([this] { return libraryRecord(u"Neon Signs"_s)->isInstalled; }, 60'000));
    const QJsonObject installed = row(u"Neon Signs"_s)[u"buttons"][0].toObject();
    EXPECT_EQ(installed[u"name"], u"Installed"_s);
    EXPECT_FALSE(installed[u"enabled"].toBool());

    ASSERT_TRUE(waitUntil([this] { return !context->marketing().saleOfTheDayPList().isEmpty(); }));
    ASSERT_NO_FATAL_FAILURE(showSection(appMenuIndex::saleOfTheDayAppMenu));
    expectNamed("Sale of the Day");
    EXPECT_EQ(row(u"Story Frames"_s)[u"buttons"][0][u"name"], u"View"_s);
    ASSERT_NO_FATAL_FAILURE(showSection(appMenuIndex::myRewardsAppMenu));
    expectNamed("My Rewards");
    const QJsonObject tier = row(u"Tier 1: $10"_s);
    EXPECT_EQ(tier[u"description"], u"for spending more than $100, Avaliable, coupon KLV-REWARD-10-7QX2"_s);
    EXPECT_EQ(tier[u"buttons"][0][u"name"], u"Copy coupon"_s);
    for (const appMenuIndex section :
         {appMenuIndex::freeProductAppMenu, appMenuIndex::accountAppMenu, appMenuIndex::featuredAppMenu}) {
        ASSERT_NO_FATAL_FAILURE(showSection(section));
        expectNamed("section " + std::to_string(int(section)));
    }

    window->signOut();
    expectNamed("signed out");
}

// The window's own installation, started by a press as a customer starts it and killed as by kill -9 while the product
// is staged, swapped in and kept: after the next start (klv here) nothing stands half-placed, no staging or job
// folder is left, and what klv says is what is on disk.
TEST_F(AccessibilityWalkTest, AWindowKilledWhilePlacingAProductLeavesItWholeOrAbsentForTheNextStart) {
    const QString product = u"Neon Signs"_s;
    const Locations &locations = context->services().locations();
    const auto leftBehind = [&] {
        QStringList left;
        QDirIterator entries(home.path(), {u".klv-staging*"_s, u"*.journal"_s},
                             QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (entries.hasNext())
            left << entries.next();
        // The window's own download of a new version of itself may stand beside the jobs.
        for (const QString &name :
             QDir(locations.downloadFolderURL).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            // So may a package cut short, with its note, kept to be continued.
            const bool resumable = name.endsWith(u".partial"_s) &&
                                   QFileInfo::exists(QDir(locations.downloadFolderURL).filePath(name + u".json"_s));
            if (name != u"updateKLVApp.zip"_s && !resumable && !name.endsWith(u".partial.json"_s))
                left << name;
        }
        return left + QDir(locations.vantoryFolderURL).entryList({u"KLV-Download.*"_s}, QDir::AllEntries);
    };
    const auto templateFolders = [&] {
        QStringList folders;
        QDirIterator entries(locations.motionTemplatesFolderURL, {u"KLV - "_s + product}, QDir::Dirs,
                             QDirIterator::Subdirectories);
        while (entries.hasNext())
            folders << entries.next();
        return folders;
    };
    const auto klv = [this](const QStringList &arguments) {
        QProcess run;
        run.setProcessEnvironment(klvEnvironment());
        run.start(QStringLiteral(KLV_CLI_BINARY), arguments);
        EXPECT_TRUE(run.waitForFinished(60'000));
        return run.readAllStandardOutput();
    };
    for (const char *step : {"placement-stage:1", "placement-swap:1", "placement-keep:1"}) {
        SCOPED_TRACE(step);
        QProcessEnvironment environment = klvEnvironment();
        environment.insert(u"KLV_CRASH_AT"_s, QString::fromLatin1(step));
        QProcess app;
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        // Its link opens the window at the product in My Products, as the store's page would.
        app.start(QStringLiteral(KLV_APP_BINARY), {u"klv://product/3420"_s});
        ASSERT_TRUE(app.waitForStarted());
        ASSERT_TRUE(waitUntil(
            [&] {
                return walk({u"row"_s, product}, app.processId()).exitCode == 0;
            },
            60'000))
            << "the window never showed " << product.toStdString();
        const Walk pressed = walk({u"press"_s, product, u"Install"_s}, app.processId());
        ASSERT_EQ(pressed.exitCode, 0) << pressed.output.toStdString();
        ASSERT_TRUE(waitUntil([&] { return app.state() == QProcess::NotRunning; }, 60'000));
        ASSERT_EQ(app.exitStatus(), QProcess::CrashExit) << "the crash point was never reached";

        const QByteArray listed = klv({u"list"_s, u"--json"_s});
        bool installed = true;
        for (const QJsonValue &row : QJsonDocument::fromJson(listed)[u"products"_s].toArray()) {
            if (row[u"name"_s] == product)
                installed = row[u"installed"_s].toBool();
        }
        // Its templates and looks are placed side by side, each whole or absent: what klv says is what stands.
        EXPECT_EQ(installed, !templateFolders().isEmpty()) << templateFolders().join(u", "_s).toStdString();
        EXPECT_EQ(leftBehind().join(u'\n').toStdString(), "") << "no staging, journal or job folder is left";
        if (installed)
            klv({u"uninstall"_s, u"--yes"_s, product});
    }
}

} // namespace klv::test
