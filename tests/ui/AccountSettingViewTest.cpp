#include "account/AccountSettingView.h"
#include "shell/WidgetDesktopServices.h"

#include "AccountFixture.h"
#include "ArchiveWriter.h"
#include "PluginApps.h"
#include "TestFiles.h"

#include "account/InitialsBadge.h"
#include "controls/AlertBox.h"
#include "controls/KLVApp_CustomProductBtn.h"
#include "controls/KLVInfoButton.h"
#include "controls/KLVPopupViewController.h"

#include "store/Services.h"
#include "update/SelfUpdate.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace klv::ui {
namespace {

using namespace Qt::StringLiterals;
using test::findVisible;
using test::requestsInFlight;
using test::waitUntil;

class AccountSettingViewTest : public test::AccountFixture {
protected:
    void SetUp() override {
        AccountFixture::SetUp();
        signInDirectly();
        desktop = std::make_unique<WidgetDesktopServices>(context->services().log());
        context->services().setDesktopServices(*desktop);
    }
    // The store names that version of the app and has its archive in the bucket.
    void serveAppVersion(const QString &version) {
        // The old context's open connection would hold up the old store's end.
        page.reset();
        context.reset();
        test::copyFolder(test::fixtureCatalog(), catalog.path());
        QJsonObject content = QJsonDocument::fromJson(test::readFile(catalog.filePath(u"store.json"_s))).object();
        content.insert(u"appVersion"_s, version);
        ASSERT_TRUE(test::writeFile(catalog.filePath(u"store.json"_s), QJsonDocument(content).toJson()));
        // The archive holds that version, as the app checks before it offers it.
        ASSERT_TRUE(test::ArchiveWriter::writeZip(catalog.filePath(u"files/bucket/KLV+App.zip"_s),
                                                  {{u"KLV App.app/version"_s, version.toUtf8()}}));

        store = std::make_unique<storeservice::StoreProcess>(catalog.path());
        ASSERT_TRUE(store->start()) << store->errorString().toStdString();
        makeContext(store->url());
        signInDirectly();
        context->services().setDesktopServices(*desktop);
    }
    // The update offers on screen: they stand beside the window rather than block it.
    static QList<AlertBox *> updateOffers() {
        QList<AlertBox *> offers;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<AlertBox *>(widget);
            if (box && box->isVisible() && box->text().startsWith(u"New version of KLV App"_s))
                offers.append(box);
        }
        return offers;
    }
    static QStringList buttonTexts(const QMessageBox &box) {
        QStringList texts;
        for (const QAbstractButton *button : box.buttons())
            texts << button->text();
        return texts;
    }
    void showPage() {
        page = std::make_unique<AccountSettingView>(*context);
        page->resize(880, 754);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    }
    QStringList labelTexts() const {
        QStringList texts;
        const QList<QLabel *> labels = page->findChildren<QLabel *>();
        for (const QLabel *label : labels)
            texts.append(label->text());
        return texts;
    }
    QString lastUpdateText() const {
        const QStringList texts = labelTexts();
        for (const QString &text : texts) {
            if (text.startsWith(u"Last Update"_s) || text.startsWith(u"Please move"_s))
                return text;
        }
        return {};
    }

    QTemporaryDir catalog;
    std::unique_ptr<WidgetDesktopServices> desktop;
    std::unique_ptr<AccountSettingView> page;
};

TEST_F(AccountSettingViewTest, TheStoresVersionDecidesBetweenUpToDateAndAnOffer) {
    const QString installed = context->services().appVersion;
    serveAppVersion(installed);
    QSignalSpy answered(&context->selfUpdate(), &SelfUpdate::updateAreaChanged);
    showPage();
    auto *updateButton = page->findChild<KLVApp_CustomProductBtn *>();
    ASSERT_NE(updateButton, nullptr);
    ASSERT_TRUE(waitUntil([&] { return answered.size() == 1; }));
    EXPECT_EQ(updateButton->text(), u"Up to Date"_s);
    EXPECT_FALSE(updateButton->isEnabled());
    EXPECT_TRUE(updateOffers().isEmpty());

    const QString newer = installed + u".1"_s;
    serveAppVersion(newer);
    showPage();
    updateButton = page->findChild<KLVApp_CustomProductBtn *>();
    ASSERT_TRUE(waitUntil([&] { return updateOffers().size() == 1; }));
    AlertBox *offer = updateOffers().first();
    EXPECT_EQ(offer->windowTitle(), u"Alert"_s);
    EXPECT_EQ(offer->text(),
              u"New version of KLV App is avaliable "_s + newer + u", compare to current "_s + installed);
    EXPECT_EQ(buttonTexts(*offer), (QStringList{u"Update Now"_s, u"Update later"_s}));
    EXPECT_FALSE(offer->isModal()) << "the offer never keeps the window from closing";
    // "Update later" leaves the offer standing, and showing the page again asks again, once.
    offer->buttons().constLast()->click();
    ASSERT_TRUE(waitUntil([] { return updateOffers().isEmpty(); }));
    EXPECT_EQ(updateButton->text(), u"Update Avaliable"_s);
    EXPECT_TRUE(updateButton->isEnabled());
    page->hide();
    page->show();
    ASSERT_TRUE(waitUntil([&] { return updateOffers().size() == 1; }));
    EXPECT_TRUE(updateButton->isEnabled());
    EXPECT_TRUE(page->close()) << "closing the window with the offer up";
    EXPECT_TRUE(waitUntil([] { return updateOffers().isEmpty(); }));
    page->show();

    // The button hands over to the updater; without one in place the customer is told.
    QTest::mouseClick(updateButton, Qt::LeftButton);
    EXPECT_TRUE(alerts.shown.last().message.startsWith(u"The updater could not be started"_s));
}

TEST_F(AccountSettingViewTest, ANewerVersionWhoseArchiveCannotBeHadSaysWhyAndTriesAgain) {
    const QString newer = context->services().appVersion + u".1"_s;
    serveAppVersion(newer);
    const QString archive = catalog.filePath(u"files/bucket/KLV+App.zip"_s);
    const QString aside = catalog.filePath(u"KLV+App.zip"_s);
    ASSERT_TRUE(QFile::rename(archive, aside));
    QSignalSpy answered(&context->selfUpdate(), &SelfUpdate::updateAreaChanged);
    showPage();
    auto *updateButton = page->findChild<KLVApp_CustomProductBtn *>();
    auto *note = page->findChild<QLabel *>(u"updateNote"_s);
    ASSERT_NE(note, nullptr);
    ASSERT_TRUE(waitUntil([&] { return answered.size() == 1; }));
    EXPECT_EQ(updateButton->text(), u"Try Again"_s) << "never “Up to Date” while the store has a newer version";
    EXPECT_TRUE(updateButton->isEnabled());
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(note->text().startsWith(u"Version "_s + newer + u" could not be downloaded: "_s))
        << note->text().toStdString();
    EXPECT_EQ(updateButton->accessibleDescription(), note->text());
    EXPECT_TRUE(updateOffers().isEmpty());

    ASSERT_TRUE(QFile::rename(aside, archive));
    QTest::mouseClick(updateButton, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([] { return updateOffers().size() == 1; }));
    EXPECT_EQ(updateButton->text(), u"Update Avaliable"_s);
    EXPECT_FALSE(note->isVisible());
}

TEST_F(AccountSettingViewTest, APackagedAppLeavesUpdatesToThePackageManager) {
    serveAppVersion(context->services().appVersion + u".1"_s);
    qputenv("KLV_SELF_UPDATE", "OFF");
    makeContext(store->url());
    qunsetenv("KLV_SELF_UPDATE");
    signInDirectly();
    showPage();
    EXPECT_EQ(page->findChild<KLVApp_CustomProductBtn *>()->isVisible(), false);
    EXPECT_TRUE(labelTexts().contains(SelfUpdate::packageManagerNote()));
    EXPECT_EQ(requestsInFlight(context->services().network()), 0) << "the store is not asked for its version";
    EXPECT_TRUE(updateOffers().isEmpty()) << "no offer, whatever the store's version";
}

TEST_F(AccountSettingViewTest, ShowsTheCustomerAndCopiesNameOrEmail) {
    showPage();
    // Named by what they copy.
    auto *name = findVisible<QPushButton>(*page, u"Test Customer"_s);
    auto *email = findVisible<QPushButton>(*page, u"tester@klv.example"_s);
    ASSERT_TRUE(name && email);
    EXPECT_EQ(name->accessibleDescription(), u"Your name; copies it"_s);
    EXPECT_EQ(page->findChild<InitialsBadge *>()->initials(), u"TC"_s);
    EXPECT_TRUE(labelTexts().contains(u"Version: "_s + context->services().appVersion));

    QTest::mouseClick(email, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"tester@klv.example"_s);
    QTest::mouseClick(findVisible<QAbstractButton>(*page, u"Copy name"_s), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"Test Customer"_s);
    name->setFocus();
    QTest::keyClick(email, Qt::Key_Space);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"tester@klv.example"_s);

    // The page's information popovers break lines but make no links.
    QTest::mouseClick(findVisible<KLVInfoButton>(*page, u"About FxRun"_s), Qt::LeftButton);
    auto *popover = page->findChild<KLVPopupViewController *>();
    ASSERT_NE(popover, nullptr);
    EXPECT_TRUE(popover->isVisible());
    EXPECT_TRUE(popover->textField()->text().contains(u"<br"_s));
    EXPECT_FALSE(popover->textField()->text().contains(u"<a "_s));
    popover->close();
}

TEST_F(AccountSettingViewTest, LastUpdateReadsByTheApplicationsAge) {
    showPage();
    EXPECT_EQ(lastUpdateText(), u"Please move the KLV App to your Applications folder."_s);

    ASSERT_TRUE(QDir().mkpath(context->services().locations().appBundleURL));
    const QString today = QDate::currentDate().toString(u"yyyy-MM-dd"_s);
    page->hide();
    page->show();
    EXPECT_EQ(lastUpdateText(), u"Last Update: "_s + today);
    now = QDateTime::currentDateTime().addDays(5);
    page->hide();
    page->show();
    EXPECT_EQ(lastUpdateText(), u"Last Update "_s + today + u' ');
}

TEST_F(AccountSettingViewTest, FxRunKeepsTheWindowRunningWithItsButtonsDisabled) {
    const QString plugins = context->services().locations().pluginsFolderURL;
    test::PluginApps apps(home.filePath(u"started"_s));
    ASSERT_TRUE(apps.add(plugins, u"Glow.app"_s));
    ASSERT_TRUE(apps.add(plugins, u"Shake FX.app"_s));
    showPage();
    auto *fxRun = findVisible<QPushButton>(*page, u"Run FxRun"_s);
    auto *clearCache = findVisible<QPushButton>(*page, u"Clear Cache"_s);
    auto *signOut = findVisible<QPushButton>(*page, u"Sign Out"_s);

    QTest::mouseClick(fxRun, Qt::LeftButton);
    EXPECT_FALSE(fxRun->isEnabled());
    EXPECT_FALSE(clearCache->isEnabled());
    EXPECT_FALSE(signOut->isEnabled());
    // The event loop runs while both applications start and end.
    ASSERT_TRUE(waitUntil([&] { return fxRun->isEnabled(); }));
    EXPECT_EQ(apps.started().size(), 2);
    // Ended with a signal, which takes its moment to arrive.
    EXPECT_TRUE(waitUntil([&] { return apps.stillRunning() == 0; }, 3000));
    EXPECT_TRUE(clearCache->isEnabled());
    EXPECT_TRUE(signOut->isEnabled());
    EXPECT_EQ(fxRun->text(), u"Run FxRun"_s);
    ASSERT_FALSE(alerts.shown.isEmpty());
    EXPECT_EQ(alerts.shown.last().message, u"Finished - FxRun has Completed"_s);
}

TEST_F(AccountSettingViewTest, TheAccountPageAndTheMakersFolderOpenOnTheDesktop) {
    test::RecordingDesktop recording;
    context->services().setDesktopServices(recording);
    showPage();
    QTest::mouseClick(findVisible<QPushButton>(*page, u"Edit Account"_s), Qt::LeftButton);
    QTest::mouseClick(findVisible<QPushButton>(*page, u"Show Folder"_s), Qt::LeftButton);
    EXPECT_EQ(recording.opened, QList<QUrl>{QUrl(store->url() + u"/my-account/edit-account/"_s)});
    EXPECT_EQ(recording.revealed, QStringList{context->services().locations().vantoryFolderURL});
}

TEST_F(AccountSettingViewTest, SignOutAndClearCacheGoToTheMainWindow) {
    showPage();
    EXPECT_EQ(test::unreachableByTab(*page), QStringList());
    QSignalSpy signOut(page.get(), &AccountSettingView::signOutRequested);
    QSignalSpy clearCache(page.get(), &AccountSettingView::clearCacheRequested);
    QTest::mouseClick(findVisible<QPushButton>(*page, u"Clear Cache"_s), Qt::LeftButton);
    auto *signOutButton = findVisible<QPushButton>(*page, u"Sign Out"_s);
    signOutButton->setFocus();
    QTest::keyClick(signOutButton, Qt::Key_Return);
    EXPECT_EQ(clearCache.size(), 1);
    EXPECT_EQ(signOut.size(), 1);
}

} // namespace
} // namespace klv::ui

namespace klv::ui {
namespace {

TEST(InitialsBadgeTest, TakesWholeFirstLettersOfTwoWords) {
    InitialsBadge badge;
    badge.setName(u"  ümlaut  tester von klv"_s);
    EXPECT_EQ(badge.initials(), u"ÜT"_s);
    badge.setName(u"\U0001D4D0lice"_s);
    EXPECT_EQ(badge.initials(), u"\U0001D4D0"_s);
    badge.setName({});
    EXPECT_EQ(badge.initials(), QString());
}

} // namespace
} // namespace klv::ui
