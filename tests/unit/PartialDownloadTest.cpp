#include "install/PartialDownload.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

TEST(PartialDownloadTest, OnlyAStrongValidatorOfTheSameFileLetsKeptBytesContinue) {
    // If-Range must vouch for single bytes: a weak ETag cannot, the date can.
    EXPECT_EQ((PartialDownload::Validators{{}, "\"abc\"", "Tue, 01 Dec 2026 10:00:00 GMT"}.ifRange()), "\"abc\"");
    EXPECT_EQ((PartialDownload::Validators{{}, "W/\"abc\"", "Tue, 01 Dec 2026 10:00:00 GMT"}.ifRange()),
              "Tue, 01 Dec 2026 10:00:00 GMT");
    EXPECT_TRUE((PartialDownload::Validators{{}, "W/\"abc\"", {}}.ifRange().isEmpty()));

    QTemporaryDir folder;
    const DownloadFolder downloads(folder.path() + u'/');
    const QString partial = downloads.partialFile(u"Pack #2"_s, u"templates"_s);
    EXPECT_EQ(QFileInfo(partial).fileName(), u"Pack #2#templates.partial"_s);
    const QUrl url(u"https://bucket.example/packs/pack.zip?signature=1"_s);
    const auto keep = [&](const PartialDownload::Validators &validators, const QByteArray &bytes) {
        test::writeFile(partial, bytes);
        PartialDownload::writeNote(partial, validators);
    };

    keep({PartialDownload::addressOf(url), "\"v1\"", {}}, "12345");
    const auto kept =
        PartialDownload::continuable(partial, QUrl(u"https://bucket.example/packs/pack.zip?signature=2"_s));
    ASSERT_TRUE(kept.has_value()) << "another signature of the same file";
    EXPECT_EQ(kept->first.etag, "\"v1\"");
    EXPECT_EQ(kept->second, 5);
    EXPECT_EQ(PartialDownload::keptBytes(downloads, u"Pack #2"_s), 5);
    EXPECT_EQ(PartialDownload::keptBytes(downloads, u"Pack"_s), 0);
    const QString bracketed = downloads.partialFile(u"Glow [4K] *"_s, u"composite"_s);
    test::writeFile(bracketed, "123");
    PartialDownload::writeNote(bracketed, {PartialDownload::addressOf(url), "\"v1\"", {}});
    EXPECT_EQ(PartialDownload::keptBytes(downloads, u"Glow [4K] *"_s), 3) << "a name is no wildcard";
    const QString hashed = downloads.partialFile(u"Glow#4K"_s, u"composite"_s);
    test::writeFile(hashed, "1234");
    PartialDownload::writeNote(hashed, {PartialDownload::addressOf(url), "\"v1\"", {}});
    EXPECT_EQ(PartialDownload::keptBytes(downloads, u"Glow"_s), 0) << "product Glow#4K's partial";
    EXPECT_EQ(PartialDownload::keptBytes(downloads, u"Glow#4K"_s), 4);

    // Another file, no validator, nothing kept: started over, and what was there goes.
    for (const auto &[validators, bytes] :
         {std::pair{PartialDownload::Validators{u"https://bucket.example/packs/other.zip"_s, "\"v1\"", {}}, "12345"_ba},
          std::pair{PartialDownload::Validators{PartialDownload::addressOf(url), {}, {}}, "12345"_ba},
          std::pair{PartialDownload::Validators{PartialDownload::addressOf(url), "\"v1\"", {}}, QByteArray()}}) {
        keep(validators, bytes);
        EXPECT_FALSE(PartialDownload::continuable(partial, url).has_value());
        EXPECT_FALSE(QFileInfo::exists(partial));
        EXPECT_FALSE(QFileInfo::exists(DownloadFolder::noteOf(partial)));
    }
}

TEST(PartialDownloadTest, StalePartialsAreThoseAWeekOldOrOfProductsNoLongerKnown) {
    QTemporaryDir folder;
    const DownloadFolder downloads(folder.path() + u'/');
    const QDateTime now = QDateTime::currentDateTime();
    const auto leave = [&](const QString &product, int daysOld) {
        const QString partial = downloads.partialFile(product, u"templates"_s);
        test::writeFile(partial, "x");
        QFile file(partial);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(now.addDays(-daysOld), QFileDevice::FileModificationTime));
        return partial;
    };
    const QString fresh = leave(u"Known"_s, 6);
    const QString old = leave(u"Old"_s, 7);
    const QString unknown = leave(u"Gone"_s, 0);
    test::writeFile(downloads.packageFile(u"Known"_s), "not a partial");

    const auto library = [](QSet<QString> names) {
        return [names] {
            return names;
        };
    };
    EXPECT_EQ(PartialDownload::removeStale(downloads, library({}), now), QStringList{old}) << "no library: by age only";
    EXPECT_EQ(PartialDownload::removeStale(downloads, library({u"Known"_s}), now), QStringList{unknown});
    EXPECT_TRUE(QFileInfo::exists(fresh));
    EXPECT_TRUE(QFileInfo::exists(downloads.packageFile(u"Known"_s)));
}

} // namespace
} // namespace klv
