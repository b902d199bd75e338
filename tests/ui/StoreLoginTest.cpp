#include "login/StoreLogin.h"

#include "AccountFixture.h"
#include "TestFiles.h"

#include "controls/KLVInfoButton.h"
#include "controls/KLVPopupViewController.h"
#include "controls/KLVToggleButton2.h"

#include "core/Settings.h"
#include "store/Services.h"
#include "style/Theme.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace klv::ui {
namespace {

using namespace Qt::StringLiterals;
using test::findVisible;
using test::waitUntil;

class StoreLoginTest : public test::AccountFixture {
protected:
    void showPanel() {
        panel = std::make_unique<StoreLogin>(*context);
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
        userName = findVisible<QLineEdit>(*panel, u"User name"_s);
        signIn = findVisible<QPushButton>(*panel, u"Sign In"_s);
    }
    QLineEdit *password() const { return findVisible<QLineEdit>(*panel, u"Password"_s); }
    std::unique_ptr<Settings> storedSettings() const {
        auto stored =
            std::make_unique<Settings>(context->services().locations().settingsFileURL, [] { return QDateTime(); });
        stored->loadSettings();
        return stored;
    }
    QLineEdit *securePassword() const {
        const QList<QLineEdit *> fields = panel->findChildren<QLineEdit *>();
        for (QLineEdit *field : fields) {
            if (field->echoMode() == QLineEdit::Password)
                return field;
        }
        return nullptr;
    }
    // The five controls a request holds; the plain password field is not one of them.
    bool allControlsEnabled(bool enabled) const {
        const QLineEdit *linkCode = findVisible<QLineEdit>(*panel, u"Link code"_s);
        const QPushButton *linkButton = findVisible<QPushButton>(*panel, u"Use Link Code"_s);
        return userName->isEnabled() == enabled && securePassword()->isEnabled() == enabled &&
               signIn->isEnabled() == enabled && linkCode->isEnabled() == enabled && linkButton->isEnabled() == enabled;
    }
    QString shownReason() const {
        const QList<QLabel *> labels = panel->findChildren<QLabel *>();
        for (const QLabel *label : labels) {
            if (label->isVisibleTo(panel.get()) && label->text().contains(u"store"_s))
                return label->text();
        }
        return {};
    }

    std::unique_ptr<StoreLogin> panel;
    QLineEdit *userName = nullptr;
    QPushButton *signIn = nullptr;
};

TEST_F(StoreLoginTest, SignsInWithAPasswordTypedWhileShownAndStoresTheSession) {
    showPanel();
    QSignalSpy completed(panel.get(), &StoreLogin::loginCompleted);
    QTest::keyClicks(userName, u"tester"_s);
    QTest::keyClicks(password(), u"sec"_s);
    // The eye shows the password in the plain field, which takes the rest of the typing.
    auto *eye = findVisible<KLVToggleButton2>(*panel, u"Show password"_s);
    QTest::mouseClick(eye, Qt::LeftButton);
    EXPECT_EQ(password()->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(password()->text(), u"sec"_s);
    QTest::keyClicks(password(), u"ret"_s);

    QTest::keyClick(password(), Qt::Key_Return);
    EXPECT_TRUE(allControlsEnabled(false)) << "the form waits for the answer";
    ASSERT_TRUE(waitUntil([&] { return completed.size() == 1; }));

    const std::unique_ptr<Settings> stored = storedSettings();
    EXPECT_TRUE(stored->sessionActive);
    EXPECT_EQ(stored->userName, u"Test Customer"_s);
    EXPECT_EQ(stored->userEmail, u"tester@klv.example"_s);
    EXPECT_TRUE(allControlsEnabled(false)) << "a success leaves the form to the main window";

    // Hiding the password again copies it back into the secure field.
    QTest::mouseClick(findVisible<KLVToggleButton2>(*panel, u"Hide password"_s), Qt::LeftButton);
    EXPECT_EQ(password()->echoMode(), QLineEdit::Password);

    // After a sign-out the same panel signs in again, waiting for its answer as the first time.
    context->signOut();
    panel->setLoginControlsEnabled(true);
    QTest::keyClicks(password(), u"secret"_s);
    QTest::mouseClick(signIn, Qt::LeftButton);
    EXPECT_TRUE(allControlsEnabled(false));
    ASSERT_TRUE(waitUntil([&] { return completed.size() == 2; }));
}

TEST_F(StoreLoginTest, EveryControlIsReachedWithTab) {
    showPanel();
    EXPECT_EQ(test::unreachableByTab(*panel), QStringList());
    // Space on the focused eye shows the password.
    auto *eye = findVisible<KLVToggleButton2>(*panel, u"Show password"_s);
    eye->setFocus(Qt::TabFocusReason);
    QTest::keyClick(eye, Qt::Key_Space);
    EXPECT_EQ(password()->echoMode(), QLineEdit::Normal);
}

TEST_F(StoreLoginTest, ARefusedSignInKeepsWhatWasTypedAndEnablesTheForm) {
    showPanel();
    const QPoint buttonBefore = signIn->mapTo(panel.get(), QPoint());
    QTest::keyClicks(userName, u"tester"_s);
    QTest::mouseClick(password(), Qt::LeftButton);
    QTest::keyClicks(password(), u"wrong"_s);
    QTest::keyClick(password(), Qt::Key_Return);
    EXPECT_TRUE(allControlsEnabled(false));
    ASSERT_TRUE(waitUntil([&] { return allControlsEnabled(true); }));
    EXPECT_TRUE(password()->hasFocus()) << "back in the password field to type it again";

    EXPECT_FALSE(context->services().settings().sessionActive);
    EXPECT_FALSE(storedSettings()->sessionActive);
    EXPECT_EQ(userName->text(), u"tester"_s);
    EXPECT_EQ(password()->text(), u"wrong"_s);
    EXPECT_EQ(shownReason(), u"The store did not accept the sign-in."_s);
    EXPECT_EQ(signIn->mapTo(panel.get(), QPoint()), buttonBefore) << "the form does not jump when the reason shows";

    // An empty password sends nothing.
    password()->clear();
    QTest::keyClick(userName, Qt::Key_Return);
    EXPECT_TRUE(allControlsEnabled(true));
}

TEST_F(StoreLoginTest, EachRefusalStandsBesideTheFieldsItConcerns) {
    showPanel();
    // The one reason on show, in the danger colour.
    const auto reason = [this]() -> QLabel * {
        for (QLabel *label : panel->findChildren<QLabel *>()) {
            if (label->isVisibleTo(panel.get()) && !label->text().isEmpty() &&
                label->palette().color(QPalette::WindowText) == theme::color(NamedColor::danger))
                return label;
        }
        return nullptr;
    };
    auto *linkCode = findVisible<QLineEdit>(*panel, u"Link code"_s);
    QTest::keyClicks(linkCode, u"KLV-WRONG-0000"_s);
    QTest::keyClick(linkCode, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return allControlsEnabled(true) && reason(); }));
    EXPECT_GT(reason()->y(), linkCode->y()) << "under the link code, not under the password's Sign In";
    EXPECT_EQ(linkCode->accessibleDescription(), reason()->text()) << "said with the field it concerns";

    QTest::keyClicks(userName, u"tester"_s);
    QTest::keyClicks(password(), u"wrong"_s);
    QTest::keyClick(password(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return allControlsEnabled(true) && reason(); }));
    EXPECT_LT(reason()->y(), linkCode->y());
    EXPECT_EQ(password()->accessibleDescription(), reason()->text());
    EXPECT_TRUE(linkCode->accessibleDescription().isEmpty());
}

TEST_F(StoreLoginTest, AStoreThatDoesNotAnswerEnablesTheFormAgain) {
    const QString deadStore = store->url();
    store.reset();
    makeContext(deadStore);
    showPanel();
    QTest::keyClicks(userName, u"tester"_s);
    QTest::keyClicks(password(), u"secret"_s);
    QTest::keyClick(password(), Qt::Key_Enter);
    ASSERT_TRUE(waitUntil([&] { return allControlsEnabled(true); }));
    EXPECT_FALSE(context->services().settings().sessionActive);
    EXPECT_EQ(userName->text(), u"tester"_s);
    EXPECT_TRUE(shownReason().startsWith(u"The store could not be reached"_s)) << shownReason().toStdString();
}

TEST_F(StoreLoginTest, SignsInWithALinkCodeAndExplainsItInAPopover) {
    showPanel();
    QSignalSpy completed(panel.get(), &StoreLogin::loginCompleted);
    auto *info = findVisible<KLVInfoButton>(*panel, u"About link codes"_s);
    QTest::mouseClick(info, Qt::LeftButton);
    auto *popover = panel->findChild<KLVPopupViewController *>();
    ASSERT_NE(popover, nullptr);
    EXPECT_TRUE(popover->isVisible());
    EXPECT_TRUE(popover->textField()->text().contains(u"<br"_s)) << "each backslash-n is a line break";
    popover->close();

    auto *linkCode = findVisible<QLineEdit>(*panel, u"Link code"_s);
    QTest::keyClicks(linkCode, u"KLV-TEST-0001"_s);
    QTest::keyClick(linkCode, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return completed.size() == 1; }));
    EXPECT_EQ(context->services().settings().userEmail, u"tester@klv.example"_s);

    const QLabel *version = nullptr;
    const QList<QLabel *> labels = panel->findChildren<QLabel *>();
    for (const QLabel *label : labels) {
        if (label->text().startsWith(u"Version: "_s))
            version = label;
    }
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), u"Version: "_s + context->services().appVersion);
}

} // namespace
} // namespace klv::ui

namespace klv::ui {
namespace {

TEST_F(StoreLoginTest, TheStoresPagesOpenFromTheRegisterButtonAndThePopoversLink) {
    makeContext(u"https://store.example"_s);
    test::RecordingDesktop desktop;
    context->services().setDesktopServices(desktop);
    showPanel();
    QTest::mouseClick(findVisible<QPushButton>(*panel, u"Create an account"_s), Qt::LeftButton);

    QTest::mouseClick(findVisible<KLVInfoButton>(*panel, u"About link codes"_s), Qt::LeftButton);
    auto *popover = panel->findChild<KLVPopupViewController *>();
    ASSERT_NE(popover, nullptr);
    const QString link = u"https://store.example/my-account/"_s;
    EXPECT_TRUE(popover->textField()->text().contains(u"href=\""_s + link)) << "the address is a link";
    Q_EMIT popover->textField()->linkActivated(link);
    EXPECT_EQ(desktop.opened, (QList<QUrl>{QUrl(link), QUrl(link)}));
}

} // namespace
} // namespace klv::ui
