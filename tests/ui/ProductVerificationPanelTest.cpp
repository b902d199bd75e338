#include "account/ProductVerificationPanel.h"

#include "app/AppContext.h"
#include "app/StartupSequence.h"
#include "library/ProductLibrary.h"

#include "CliRun.h"
#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"
#include "storeservice/StoreProcess.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;
using ui::ProductVerificationPanel;

// The account page's verification over the real core: a product installed by klv in the same home, damaged by
// hand, found and repaired from the window.
class ProductVerificationPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        copyFolder(installCatalog(), catalog.path());
        ASSERT_TRUE(store.start()) << store.errorString().toStdString();
        QProcessEnvironment environment = home.environment();
        environment.insert(u"KLV_STORE_URL"_s, store.url());
        ASSERT_EQ(runKlv({u"login"_s, u"tester"_s, u"--password-stdin"_s}, environment, "secret\n").exitCode, 0);
        ASSERT_EQ(runKlv({u"install"_s, u"Fixture Titles"_s}, environment).exitCode, 0);
        Configuration configuration = Configuration::fromEnvironment();
        configuration.storeUrl = store.url();
        context = std::make_unique<AppContext>(configuration, alerts);
        runStartupSequence(*context, {}, UpdaterFetch::onDemand);
        context->library().loadProductCache();
        ASSERT_FALSE(context->library().redetectInstalledStates());
    }

    QString lowerThird() const {
        return home.filePath(u"Videos/Motion Templates.localized/Titles.localized/KLV - Fixture Titles/Lower Third/"
                             u"Lower Third.moti"_s);
    }
    QPushButton *repairButton(const QWidget &panel) const {
        for (QPushButton *button : panel.findChildren<QPushButton *>()) {
            if (button->accessibleName() == u"Repair Fixture Titles")
                return button;
        }
        return nullptr;
    }

    SandboxHome home;
    QTemporaryDir catalog;
    storeservice::StoreProcess store{catalog.path()};
    ScriptedAlerts alerts;
    std::unique_ptr<AppContext> context;
};

TEST_F(ProductVerificationPanelTest, ADamagedProductIsListedAndItsRepairButtonMakesItWholeAgain) {
    ASSERT_TRUE(QFile::remove(lowerThird()));
    ProductVerificationPanel panel(*context);
    QSignalSpy shown(&panel, &ProductVerificationPanel::resultShown);
    panel.verifyButton()->click();
    ASSERT_TRUE(waitUntil([&] { return shown.size() == 1; }));
    QPushButton *repair = repairButton(panel);
    ASSERT_NE(repair, nullptr);
    repair->click();
    ASSERT_TRUE(waitUntil([&] { return shown.size() == 2; }, 60'000)) << "verified again once repaired";
    EXPECT_TRUE(QFileInfo::exists(lowerThird()));
    EXPECT_EQ(repairButton(panel), nullptr);
    const QList<QLabel *> labels = panel.findChildren<QLabel *>();
    EXPECT_TRUE(std::any_of(labels.cbegin(), labels.cend(), [](const QLabel *label) {
        return label->text().startsWith(u"All 1 installed products are whole."_s);
    }));
}

} // namespace
} // namespace klv::test
