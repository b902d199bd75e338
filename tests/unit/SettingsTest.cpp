#include "core/Settings.h"
#include "core/ProductImageMapArchive.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class SettingsTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(u"settings.conf"_s); }
    Clock fixedClock(const char *utc) const {
        const QDateTime at = QDateTime::fromString(QString::fromLatin1(utc), Qt::ISODate);
        return [at] {
            return at;
        };
    }

    QTemporaryDir dir;
};

TEST_F(SettingsTest, FirstStartReadsDefaultsAndStoresThePacificDate) {
    // 06:30 UTC on 1 July is still 30 June in California (daylight saving time, UTC-7).
    Settings settings(path(), fixedClock("2026-07-01T06:30:00Z"));
    settings.loadSettings();
    EXPECT_EQ(settings.userName, u"Unknown member user");
    EXPECT_EQ(settings.userEmail, u"Unknown member email");
    EXPECT_EQ(settings.userPassword, u"Unknown member password");
    EXPECT_FALSE(settings.sessionActive);
    EXPECT_EQ(settings.storedCommitID, u"Unknown commit id");
    EXPECT_EQ(settings.firstRunDate, u"2026-06-30");
    EXPECT_EQ(QSettings(path(), QSettings::IniFormat).value(u"lastestSDate"_s).toString(), u"2026-06-30");

    // In winter the offset is eight hours.
    Settings winter(dir.filePath(u"winter.conf"_s), fixedClock("2026-01-15T07:59:00Z"));
    winter.loadSettings();
    EXPECT_EQ(winter.firstRunDate, u"2026-01-14");
}

TEST_F(SettingsTest, SavedValuesSurviveARestartExactly) {
    {
        Settings settings(path(), fixedClock("2026-03-01T12:00:00Z"));
        settings.loadSettings();
        settings.userName = u"Zoë \"Q\", Müller; = & [x]"_s;
        settings.userEmail = u"a,b@example.com"_s;
        settings.userPassword = QString();
        settings.sessionActive = true;
        settings.storedCommitID = u"commit-42"_s;
        ASSERT_FALSE(settings.saveSettings());
    }
    Settings reread(path(), fixedClock("2027-01-01T00:00:00Z"));
    reread.loadSettings();
    EXPECT_EQ(reread.userName, u"Zoë \"Q\", Müller; = & [x]");
    EXPECT_EQ(reread.userEmail, u"a,b@example.com");
    EXPECT_EQ(reread.userPassword, u"");
    EXPECT_TRUE(reread.sessionActive);
    EXPECT_EQ(reread.storedCommitID, u"commit-42");
    EXPECT_EQ(reread.firstRunDate, u"2026-03-01");
}

TEST_F(SettingsTest, ResetLeavesNoKeyBehind) {
    Settings settings(path(), fixedClock("2026-03-01T12:00:00Z"));
    settings.loadSettings();
    settings.userName = u"Someone"_s;
    settings.sessionActive = true;
    ASSERT_FALSE(settings.saveSettings());

    settings.resetSettings();
    EXPECT_EQ(settings.userName, u"Unknown member user");
    EXPECT_FALSE(settings.sessionActive);
    EXPECT_TRUE(QSettings(path(), QSettings::IniFormat).allKeys().isEmpty());

    Settings restarted(path(), fixedClock("2026-04-02T12:00:00Z"));
    restarted.loadSettings();
    EXPECT_EQ(restarted.userName, u"Unknown member user");
    EXPECT_EQ(restarted.firstRunDate, u"2026-04-02");
}

TEST(ProductImageMapArchive, RoundTripsAndRefusesAnythingElse) {
    const ProductImageMap map{{7, QUrl::fromLocalFile(u"/data/KLVApp Product Image/7.png"_s)},
                              {9007199254740993, QUrl::fromLocalFile(u"/data/ü #1.jpg"_s)}};
    EXPECT_EQ(ProductImageMapArchive::decode(ProductImageMapArchive::encode(map)), map);
    EXPECT_EQ(ProductImageMapArchive::decode(ProductImageMapArchive::encode({})), ProductImageMap{});

    const QByteArray archive = ProductImageMapArchive::encode(map);
    EXPECT_FALSE(ProductImageMapArchive::decode(archive.left(archive.size() / 2)));
    EXPECT_FALSE(ProductImageMapArchive::decode("garbage"));
    EXPECT_FALSE(ProductImageMapArchive::decode({}));
    QByteArray otherRoot = archive;
    otherRoot.replace("NSMutableDictionary", "NSMutableArrayXXXXX");
    EXPECT_FALSE(ProductImageMapArchive::decode(otherRoot));
}

} // namespace
} // namespace klv
