#include "install/PackageDownload.h"
#include "install/PartialDownload.h"

#include "InstallerFixture.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>

#include <optional>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

// Downloads against klv-store with a short window for the pace check, a small configured maximum and short pauses
// between attempts, so that the limits show within seconds.
class PackageDownloadTest : public test::InstallerFixture {
protected:
    void SetUp() override {
        qputenv("KLV_DOWNLOAD_STALL_WINDOW_MS", "800");
        qputenv("KLV_DOWNLOAD_MAX_BYTES", QByteArray::number(4 << 20));
        qputenv("KLV_DOWNLOAD_RETRY_DELAY_MS", "10");
        InstallerFixture::SetUp();
    }
    void TearDown() override {
        qunsetenv("KLV_DOWNLOAD_STALL_WINDOW_MS");
        qunsetenv("KLV_DOWNLOAD_MAX_BYTES");
        qunsetenv("KLV_DOWNLOAD_RETRY_DELAY_MS");
    }

    struct Outcome {
        PackageDownload::Result result;
        QList<int> attempts;
    };
    Outcome download(const QString &url, qint64 announcedSize = 0, bool resumable = false,
                     const std::function<void(PackageDownload &)> &whileRunning = {}) {
        PackageDownload download(context->services().network(), context->services().store(), QUrl(url), target);
        download.setAnnouncedSize(announcedSize);
        if (resumable)
            download.setResumable();
        Outcome outcome;
        std::optional<PackageDownload::Result> result;
        QObject::connect(&download, &PackageDownload::finished,
                         [&](const PackageDownload::Result &finished) { result = finished; });
        QObject::connect(&download, &PackageDownload::reconnecting,
                         [&](int attempt, int) { outcome.attempts.append(attempt); });
        download.start();
        if (whileRunning)
            whileRunning(download);
        EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); }, 20'000)) << "the download never ended";
        outcome.result = result.value_or(PackageDownload::Result{});
        return outcome;
    }
    static QByteArray randomBytes(qsizetype size) {
        QByteArray bytes(size, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()),
                                              size / qsizetype(sizeof(quint32)));
        return bytes;
    }
    static QJsonObject onPackage(const QString &kind, const QJsonObject &settings) {
        QJsonObject fault = settings;
        fault[u"path"_s] = u"/files/templates/package.zip"_s;
        fault[u"kind"_s] = kind;
        return fault;
    }

    QString target = catalog.filePath(u"downloaded/package.zip"_s);
};

TEST_F(PackageDownloadTest, StopsABodyLargerThanAnnouncedOrAllowed) {
    const QByteArray package(3 << 20, 'p');
    const QString url = serve(u"templates/package.zip"_s, package);

    // Within the margin the download completes; well beyond it, the announced length alone stops it.
    const PackageDownload::Result fine = download(url, package.size() - 1000).result;
    ASSERT_TRUE(fine.succeeded()) << fine.error.toStdString();
    EXPECT_EQ(test::readFile(target), package);
    const PackageDownload::Result tooLarge = download(url, 1 << 20).result;
    EXPECT_EQ(tooLarge.error,
              u"The download of "_s + url + u" is larger than the 1024.00 KB the store announced; it was stopped."_s);
    EXPECT_FALSE(QFileInfo::exists(target));

    // A body without a length that never ends: stopped by the announced size, or else by the configured maximum.
    writeCatalog({}, {QJsonObject{{u"path"_s, u"/files/templates/package.zip"_s}, {u"kind"_s, u"endless"_s}}});
    const PackageDownload::Result endless = download(url, 1 << 20).result;
    EXPECT_TRUE(endless.error.endsWith(u"is larger than the 1024.00 KB the store announced; it was stopped."_s))
        << endless.error.toStdString();
    const PackageDownload::Result unannounced = download(url).result;
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
    const Outcome dripping = download(url, package.size());
    EXPECT_EQ(dripping.result.error,
              u"The download of "_s + url + u" stalled: less than 1 KB a second for 0.8 seconds; it was stopped."_s);
    EXPECT_EQ(dripping.attempts, QList<int>({2, 3, 4, 5})) << "a stall is tried again, four times";
    EXPECT_FALSE(QFileInfo::exists(target));

    // A store that does not answer at all is no progress either.
    writeCatalog(
        {},
        {QJsonObject{{u"path"_s, u"/files/templates/package.zip"_s}, {u"kind"_s, u"delay"_s}, {u"delayMs"_s, 3'000}}});
    EXPECT_TRUE(download(url).result.error.contains(u"stalled"_s));
}

TEST_F(PackageDownloadTest, TransientFailuresAreTriedAgainFromWhereTheFileStopped) {
    const QByteArray package = randomBytes(1 << 20);
    const QString url = serve(u"templates/package.zip"_s, package);

    // Error answers and a cut within one run: tried again, and the cut bytes are not asked for twice.
    writeCatalog({}, {onPackage(u"status"_s, {{u"status"_s, 503}, {u"times"_s, 2}})});
    const Outcome unavailable = download(url, package.size(), true);
    ASSERT_TRUE(unavailable.result.succeeded()) << unavailable.result.error.toStdString();
    EXPECT_EQ(unavailable.attempts, QList<int>({2, 3}));
    writeCatalog({}, {onPackage(u"truncate"_s, {{u"bytes"_s, 300'000}, {u"times"_s, 1}})});
    const Outcome cut = download(url, package.size(), true);
    ASSERT_TRUE(cut.result.succeeded()) << cut.result.error.toStdString();
    EXPECT_EQ(cut.attempts, QList<int>({2}));
    EXPECT_EQ(cut.result.transferred, package.size()) << "the second attempt asked for the rest only";
    EXPECT_EQ(test::readFile(target), package);
    EXPECT_FALSE(QFileInfo::exists(DownloadFolder::noteOf(target))) << "a whole download leaves no note";

    // Cuts that each come after progress do not use the attempts up: a flaky line still gets the file whole.
    QJsonArray cuts;
    for (int i = 1; i <= 10; ++i)
        cuts.append(onPackage(u"truncate"_s, {{u"bytes"_s, i * 90'000}, {u"times"_s, 1}}));
    writeCatalog({}, cuts);
    const Outcome flaky = download(url, package.size(), true);
    ASSERT_TRUE(flaky.result.succeeded()) << flaky.result.error.toStdString();
    // Qt sends a request again by itself when a connection it kept turns out closed, so not every cut reaches the
    // download; more than the attempts allow do.
    EXPECT_GT(flaky.attempts.size(), DownloadLimits::attempts);
    EXPECT_EQ(flaky.attempts, QList<int>(flaky.attempts.size(), 2));
    EXPECT_EQ(flaky.result.transferred, package.size());
    EXPECT_EQ(test::readFile(target), package);

    // A cut that lasts: the attempts run out, the bytes stay with what validates them, and the next download
    // continues them.
    writeCatalog({}, {onPackage(u"truncate"_s, {{u"bytes"_s, 400'000}})});
    const Outcome failed = download(url, package.size(), true);
    EXPECT_EQ(failed.attempts, QList<int>({2, 3, 4, 5}));
    EXPECT_FALSE(failed.result.succeeded());
    EXPECT_EQ(QFileInfo(target).size(), 400'000);
    EXPECT_TRUE(QFileInfo::exists(DownloadFolder::noteOf(target)));
    writeCatalog({});
    const Outcome resumed = download(url, package.size(), true);
    ASSERT_TRUE(resumed.result.succeeded()) << resumed.result.error.toStdString();
    EXPECT_EQ(resumed.result.resumedFrom, 400'000);
    EXPECT_EQ(resumed.result.transferred, package.size() - 400'000);
    EXPECT_EQ(test::readFile(target), package);
}

TEST_F(PackageDownloadTest, KeptBytesThatNoLongerMatchTheStoresFileAreDownloadedAnew) {
    const QByteArray first = randomBytes(1 << 20);
    const QString url = serve(u"templates/package.zip"_s, first);
    const auto cutAt = [&](qint64 bytes) {
        writeCatalog({}, {onPackage(u"truncate"_s, {{u"bytes"_s, bytes}})});
        download(url, first.size(), true);
        writeCatalog({});
        return QFileInfo(target).size() == bytes;
    };

    // The store's file changed: If-Range no longer matches, the whole new file comes and replaces the old bytes.
    ASSERT_TRUE(cutAt(500'000));
    const QByteArray second = randomBytes(900'000);
    serve(u"templates/package.zip"_s, second);
    const Outcome changed = download(url, second.size(), true);
    ASSERT_TRUE(changed.result.succeeded()) << changed.result.error.toStdString();
    EXPECT_EQ(changed.result.resumedFrom, 0);
    EXPECT_EQ(test::readFile(target), second);

    // Bytes without their note, or of another address, are not trusted.
    serve(u"templates/package.zip"_s, first);
    ASSERT_TRUE(cutAt(500'000));
    QFile::remove(DownloadFolder::noteOf(target));
    const Outcome unnoted = download(url, first.size(), true);
    EXPECT_EQ(unnoted.result.resumedFrom, 0);
    EXPECT_EQ(test::readFile(target), first);
    ASSERT_TRUE(cutAt(500'000));
    const QString other = serve(u"templates/other.zip"_s, first);
    EXPECT_EQ(download(other, first.size(), true).result.resumedFrom, 0);

    // A signed link changes its query from one answer to the next; the file, and so the kept bytes, stay.
    ASSERT_TRUE(cutAt(500'000));
    const Outcome signedLink = download(url + u"?signature=another"_s, first.size(), true);
    EXPECT_EQ(signedLink.result.resumedFrom, 500'000);
    EXPECT_EQ(test::readFile(target), first);
}

TEST_F(PackageDownloadTest, KeptBytesLongerThanTheStoresFileStartOver) {
    const QByteArray package = randomBytes(1 << 20);
    const QString url = serve(u"templates/package.zip"_s, package);
    for (const qsizetype extra : {qsizetype(1000), qsizetype(3 << 20)}) {
        SCOPED_TRACE(extra);
        writeCatalog({}, {onPackage(u"truncate"_s, {{u"bytes"_s, 500'000}})});
        download(url, package.size(), true);
        writeCatalog({});
        // Longer than the file: the store refuses the range (416), or the part is beyond what it announced.
        QFile kept(target);
        ASSERT_TRUE(kept.open(QIODevice::Append));
        kept.write(randomBytes(package.size() - 500'000 + extra));
        kept.close();
        const Outcome outcome = download(url, package.size(), true);
        ASSERT_TRUE(outcome.result.succeeded()) << outcome.result.error.toStdString();
        EXPECT_EQ(test::readFile(target), package);
    }
}

TEST_F(PackageDownloadTest, AFullDiskIsToldAsOne) {
    const QString url = serve(u"templates/package.zip"_s, randomBytes(1 << 20));
    QDir().mkpath(QFileInfo(target).path());
    ASSERT_TRUE(QFile::link(u"/dev/full"_s, target));
    const Outcome outcome = download(url, 1 << 20);
    ASSERT_FALSE(outcome.result.succeeded());
    EXPECT_TRUE(outcome.result.error.contains(u"the disk is full"_s)) << outcome.result.error.toStdString();
}

TEST_F(PackageDownloadTest, APausedDownloadKeepsItsBytesAndContinuesWithARange) {
    const QByteArray package = randomBytes(1 << 20);
    const QString url = serve(u"templates/package.zip"_s, package);
    writeCatalog({}, {onPackage(u"throttle"_s, {{u"bytesPerSecond"_s, 2'000'000}})});
    const Outcome paused = download(url, package.size(), true, [&](PackageDownload &running) {
        ASSERT_TRUE(test::waitUntil([&] { return QFileInfo(target).size() > 100'000; }));
        EXPECT_TRUE(running.pause());
        EXPECT_FALSE(running.pause()) << "paused already";
        EXPECT_TRUE(running.isPaused());
        EXPECT_TRUE(running.resume());
    });
    ASSERT_TRUE(paused.result.succeeded()) << paused.result.error.toStdString();
    EXPECT_TRUE(paused.attempts.isEmpty()) << "a pause is no failure";
    EXPECT_EQ(paused.result.transferred, package.size()) << "no byte came twice";
    EXPECT_EQ(test::readFile(target), package);
}

} // namespace
} // namespace klv
