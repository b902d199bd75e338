#include "update/LastUpdateLine.h"

#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class LastUpdateLineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(services.locations().logFolderURL)); }

    QString lineInstalledAt(const QDateTime &installed) {
        return lastUpdateLine(services, [installed](const QString &) { return std::optional(installed); });
    }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    QDateTime now = QDateTime(QDate(2026, 3, 10), QTime(9, 30));
    Services services{Configuration::fromEnvironment(), alerts, [this] {
                          return now;
                      }};
};

TEST_F(LastUpdateLineTest, RecentAndOlderInstallationsReadDifferently) {
    EXPECT_EQ(lastUpdateLine(services), u"Please move the KLV App to your Applications folder."_s);
    EXPECT_EQ(services.sharedDateFormatter.dateFormat, u"yyyy-MM-dd"_s);

    ASSERT_TRUE(QDir().mkpath(services.locations().appBundleURL));
    EXPECT_EQ(lineInstalledAt(now), u"Last Update: 2026-03-10"_s);
    // A day and 23 hours is still one day; two whole days switch to the other form, with its trailing blank.
    EXPECT_EQ(lineInstalledAt(now.addSecs(-(47 * 3600 + 59 * 60))), u"Last Update: 2026-03-08"_s);
    EXPECT_EQ(lineInstalledAt(now.addDays(-2)), u"Last Update 2026-03-08 "_s);
    EXPECT_EQ(lineInstalledAt(now.addDays(-5)), u"Last Update 2026-03-05 "_s);
    // The real application folder was made just now, on the real clock.
    now = QDateTime::currentDateTime().addDays(5);
    EXPECT_EQ(lastUpdateLine(services), u"Last Update "_s + QDate::currentDate().toString(u"yyyy-MM-dd"_s) + u' ');
}

TEST_F(LastUpdateLineTest, APackagedApplicationIsNotAskedToMove) {
    Configuration packaged = Configuration::fromEnvironment();
    packaged.selfUpdate = false;
    Services packagedServices(packaged, alerts, [this] { return now; });
    EXPECT_EQ(lastUpdateLine(packagedServices), QString());
    ASSERT_TRUE(QDir().mkpath(packagedServices.locations().appBundleURL));
    EXPECT_EQ(lastUpdateLine(packagedServices, [this](const QString &) { return std::optional(now); }),
              u"Last Update: 2026-03-10"_s);
}

TEST_F(LastUpdateLineTest, AnUnreadableDateIsLoggedAndAsksToMoveTheApplication) {
    ASSERT_TRUE(QDir().mkpath(services.locations().appBundleURL));
    const QString line = lastUpdateLine(services, [](const QString &) { return std::optional<QDateTime>(); });
    EXPECT_EQ(line, u"Please move the KLV App to your Applications folder."_s);
    EXPECT_TRUE(QString::fromUtf8(test::readFile(services.locations().logFileURL))
                    .contains(u"Failed to get the creation date of the file"_s));
}

} // namespace
} // namespace klv
