#include "core/ByteCountFormat.h"
#include "core/ContainedRemoval.h"
#include "core/Locations.h"
#include "core/SafeName.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

TEST(FormatByteCount, DividesOnlyWhileAboveTheStepAndStopsAfterGigabytes) {
    const std::pair<qint64, const char16_t *> cases[] = {
        {0, u"0.00 bytes"},
        {512, u"512.00 bytes"},
        {1023, u"1023.00 bytes"},
        {1024, u"1024.00 bytes"},
        {1025, u"1.00 KB"},
        {1536, u"1.50 KB"},
        {1048576, u"1024.00 KB"},
        {1048577, u"1.00 MB"},
        {3565158, u"3.40 MB"},
        {qint64{1} << 30, u"1024.00 MB"},
        {(qint64{1} << 30) + 1, u"1.00 GB"},
        {qint64{1} << 40, u"1024.00 GB"},
        {(qint64{1} << 40) + 1, u""},
        {qint64{2} << 40, u""},
        {-1, u"-1.00 bytes"},
    };
    for (const auto &[bytes, text] : cases)
        EXPECT_EQ(formatByteCount(bytes), QStringView(text)) << bytes;
}

TEST(SafePathComponent, OnlyOnePlainComponentIsSafe) {
    for (const QString &name :
         {u"Lower Thirds"_s, u"...."_s, u".hidden"_s, u"Tom's \"Pack\" $x `y`"_s, u"Überblende"_s, u"a\\b"_s}) {
        EXPECT_TRUE(isSafePathComponent(name)) << name.toStdString();
        EXPECT_FALSE(unsafePathComponentReason(name));
    }
    const std::pair<QString, QString> unsafe[] = {
        {QString(), u"The name “” cannot be used as a file name: it is empty."_s},
        {u"."_s, u"The name “.” cannot be used as a file name: it names a folder itself."_s},
        {u".."_s, u"The name “..” cannot be used as a file name: it names a folder itself."_s},
        {u"/"_s, u"The name “/” cannot be used as a file name: it contains “/”."_s},
        {u"../../etc"_s, u"The name “../../etc” cannot be used as a file name: it contains “/”."_s},
        {u"Pack"_s + QChar(0) + u"x"_s,
         u"The name “Pack\\0x” cannot be used as a file name: it contains a NUL character."_s},
    };
    for (const auto &[name, reason] : unsafe) {
        EXPECT_FALSE(isSafePathComponent(name));
        const Error refused = unsafePathComponentReason(name);
        ASSERT_TRUE(refused);
        EXPECT_EQ(*refused, reason);
    }
}

TEST(ContainedRemoval, RemovesTreesOnlyInsideTheAppsFoldersAndNeverFollowsALinkOut) {
    QTemporaryDir home;
    const Locations locations = Locations::forLinux(
        home.filePath(u"Videos"_s),
        {home.filePath(u".local/share"_s), home.filePath(u".cache"_s), home.filePath(u".config"_s), {}},
        u"group.com.example.removal"_s, u"com.example.removal"_s);
    const QString job = locations.downloadFolderURL + u"Some Product"_s;
    ASSERT_TRUE(QDir().mkpath(job + u"/inside"_s));
    const QString precious = home.filePath(u"Documents/precious.txt"_s);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(precious).path()));
    QFile file(precious);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QFile::link(home.filePath(u"Documents"_s), job + u"/inside/documents"_s));

    // Whatever the name leads to: the home, a root of the app's folders itself, or a way out through "..".
    ASSERT_TRUE(QDir().mkpath(locations.motionTemplatesFolderURL));
    for (const QString &outside :
         QStringList{home.path(), locations.vantoryFolderURL, locations.motionTemplatesFolderURL,
                     QString(job + u"/../../../../.."_s), QStringLiteral("/")}) {
        const Error refused = ContainedRemoval::removeTree(outside);
        EXPECT_TRUE(refused) << outside.toStdString();
        EXPECT_TRUE(QFileInfo::exists(precious)) << outside.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(job));

    EXPECT_FALSE(ContainedRemoval::removeTree(job));
    EXPECT_FALSE(QFileInfo::exists(job));
    EXPECT_TRUE(QFileInfo::exists(precious)) << "the link went, not what it named";
    EXPECT_FALSE(ContainedRemoval::removeTree(job)) << "nothing there is nothing to refuse";

    // An identifier of ".." names the home as the cache folder: that folder never becomes one of the app's.
    const Locations dotted = Locations::forLinux(
        home.filePath(u"Videos"_s),
        {home.filePath(u".local/share"_s), home.filePath(u".cache"_s), home.filePath(u".config"_s), {}},
        u"group.com.example.removal"_s, u".."_s);
    ASSERT_TRUE(QDir().mkpath(home.filePath(u".cache"_s)));
    EXPECT_TRUE(ContainedRemoval::removeTree(dotted.appCacheFolderURL));
    EXPECT_TRUE(QFileInfo::exists(precious));

    ASSERT_TRUE(QDir().mkpath(locations.appCacheFolderURL + u"old"_s));
    EXPECT_FALSE(ContainedRemoval::removeTree(locations.appCacheFolderURL)) << "the cache folder itself may go";
    EXPECT_FALSE(QFileInfo::exists(locations.appCacheFolderURL));
}

} // namespace
} // namespace klv
