#include "install/PackageDownload.h"

#include "InstallerFixture.h"
#include "TestFiles.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>

#include <optional>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

// Downloads against klv-store with a short window for the pace check and a small configured maximum, so that the
// limits show within seconds.
class PackageDownloadTest : public test::InstallerFixture {
protected:
    void SetUp() override {
        qputenv("KLV_DOWNLOAD_STALL_WINDOW_MS", "800");
        qputenv("KLV_DOWNLOAD_MAX_BYTES", QByteArray::number(4 << 20));
        InstallerFixture::SetUp();
    }
    void TearDown() override {
        qunsetenv("KLV_DOWNLOAD_STALL_WINDOW_MS");
        qunsetenv("KLV_DOWNLOAD_MAX_BYTES");
    }

    PackageDownload::Result download(const QString &url, qint64 announcedSize = 0) {
        PackageDownload download(context->services().network(), context->services().store(), QUrl(url), target);
        download.setAnnouncedSize(announcedSize);
        std::optional<PackageDownload::Result> result;
        QObject::connect(&download, &PackageDownload::finished,
                         [&](const PackageDownload::Result &finished) { result = finished; });
        download.start();
        EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); }, 20'000)) << "the download never ended";
        return result.value_or(PackageDownload::Result{});
    }

    QString target = catalog.filePath(u"downloaded/package.zip"_s);
};

TEST_F(PackageDownloadTest, StopsABodyLargerThanAnnouncedOrAllowed) {
    const QByteArray package(3 << 20, 'p');
    const QString url = serve(u"templates/package.zip"_s, package);

    // Within the margin the download completes; well beyond it, the announced length alone stops it.
    const PackageDownload::Result fine = download(url, package.size() - 1000);
    ASSERT_TRUE(fine.succeeded()) << fine.error.toStdString();
    EXPECT_EQ(test::readFile(target), package);
    const PackageDownload::Result tooLarge = download(url, 1 << 20);
    EXPECT_EQ(tooLarge.error,
              u"The download of "_s + url + u" is larger than the 1024.00 KB the store announced; it was stopped."_s);
    EXPECT_FALSE(QFileInfo::exists(target));

    // A body without a length that never ends: stopped by the announced size, or else by the configured maximum.
    writeCatalog({}, {QJsonObject{{u"path"_s, u"/files/templates/package.zip"_s}, {u"kind"_s, u"endless"_s}}});
    const PackageDownload::Result endless = download(url, 1 << 20);
    EXPECT_TRUE(endless.error.endsWith(u"is larger than the 1024.00 KB the store announced; it was stopped."_s))
        << endless.error.toStdString();
    const PackageDownload::Result unannounced = download(url);
    EXPECT_TRUE(unannounced.error.endsWith(u"is larger than the largest download accepted, 4.00 MB; it was stopped."_s))
        << unannounced.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(PackageDownloadTest, FailsATransferThatMakesNoRealProgress) {
    const QByteArray package(64 << 10, 'p');
    const QString url = serve(u"templates/package.zip"_s, package);
    // 20 bytes a second keeps the connection busy but is no real progress.
    writeCatalog(
        {}, {QJsonObject{{u"path"_s, u"/files/templates/package.zip"_s}, {u"kind"_s, u"drip"_s}, {u"delayMs"_s, 50}}});
    QElapsedTimer timer;
    timer.start();
    const PackageDownload::Result dripping = download(url, package.size());
    EXPECT_EQ(dripping.error,
              u"The download of "_s + url + u" stalled: less than 1 KB a second for 0.8 seconds; it was stopped."_s);
    EXPECT_LT(timer.elapsed(), 5'000);
    EXPECT_FALSE(QFileInfo::exists(target));

    // A store that does not answer at all is no progress either.
    writeCatalog(
        {},
        {QJsonObject{{u"path"_s, u"/files/templates/package.zip"_s}, {u"kind"_s, u"delay"_s}, {u"delayMs"_s, 3'000}}});
    EXPECT_TRUE(download(url).error.contains(u"stalled"_s));
}

} // namespace
} // namespace klv
