#include "LibraryFixture.h"

#include "marketing/MarketingCenter.h"
#include "shell/KLVAppMenuCurveBox.h"

#include <QCoreApplication>
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

    // Runs the walker while this process answers its questions.
    static Walk walk(const QStringList &arguments) {
        QProcess walker;
        walker.setProcessChannelMode(QProcess::MergedChannels);
        walker.start(qEnvironmentVariable("KLV_ACCESSIBILITY_PYTHON"),
                     QStringList{qEnvironmentVariable("KLV_ACCESSIBILITY_WALKER"),
                                 QString::number(QCoreApplication::applicationPid())} +
                         arguments);
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

} // namespace klv::test
