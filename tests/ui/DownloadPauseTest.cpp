#include "LibraryFixture.h"

#include "install/InstallationEngine.h"
#include "products/ProductInstallationViewScript.h"
#include "store/Services.h"

#include "TestFiles.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace klv::test {
namespace {

// Sent slowly, so that its download can be paused while it runs.
const QString throttledProduct = u"Retro Typewriter"_s;
// Its first download answer is an error, which the window tries again.
const QString flakyProduct = u"Motion Blur Pro"_s;

// The strip's pause button and the downloads it keeps, in the window over the real core.
class DownloadPauseTest : public LibraryFixture {
protected:
    void SetUp() override {
        qputenv("KLV_DOWNLOAD_RETRY_DELAY_MS", "20");
        LibraryFixture::SetUp();
        QObject::connect(&context->installationEngine(), &InstallationEngine::stripChanged, window.get(),
                         [this] { stripTitles << strip().titleText(); });
    }
    void TearDown() override { qunsetenv("KLV_DOWNLOAD_RETRY_DELAY_MS"); }
    QStringList storeFaults() const override {
        return LibraryFixture::storeFaults() +
               QStringList{u"path=/files/templates/retro-typewriter.zip,kind=throttle,bytesPerSecond=400"_s,
                           u"path=/files/templates/motion-blur-pro.zip,kind=status,status=503,times=1"_s};
    }

    ui::ProductInstallationViewScript &strip() const { return view().installationStrip(); }
    QString partial() const {
        return context->services().locations().downloadFolderURL + throttledProduct + u"#templates.partial"_s;
    }
    // Clicks the slow product's button and pauses its download once some of it arrived.
    void startAndPause() {
        clickProductButton(throttledProduct);
        ASSERT_TRUE(waitUntil([this] { return strip().pauseButton().isVisible() && QFileInfo(partial()).size() > 0; }));
        EXPECT_EQ(strip().pauseButton().accessibleName(), u"Pause download"_s);
        strip().pauseButton().click();
        EXPECT_EQ(context->installationEngine().downloadState(), InstallationEngine::DownloadState::paused);
    }

    QStringList stripTitles;
};

TEST_F(DownloadPauseTest, APausedDownloadWaitsWithItsBytesKeptAndResumingFinishesTheJob) {
    ASSERT_NO_FATAL_FAILURE(startAndPause());
    EXPECT_EQ(strip().pauseButton().accessibleName(), u"Resume download"_s);
    static const QRegularExpression bytesSoFar(u" - [0-9.]+ (bytes|KB|MB|GB) / [0-9.]+ (bytes|KB|MB|GB) - Paused$"_s);
    EXPECT_TRUE(bytesSoFar.match(strip().titleText()).hasMatch())
        << "the bytes so far stay in view: " << strip().titleText().toStdString();
    EXPECT_TRUE(strip().cancelButton().isVisible());
    EXPECT_EQ(buttonTitle(throttledProduct), u"Paused"_s) << "the row says what the strip says";
    EXPECT_TRUE(QFileInfo::exists(partial() + u".json"_s)) << "what validates the kept bytes is beside them";

    strip().pauseButton().click();
    EXPECT_EQ(strip().pauseButton().accessibleName(), u"Pause download"_s);
    EXPECT_NE(buttonTitle(throttledProduct), u"Paused"_s);
    ASSERT_TRUE(waitUntil([this] { return buttonTitle(throttledProduct) == u"Installed"_s; }, 60'000))
        << stripTitles.join(u'\n').toStdString() << readFile(context->services().locations().logFileURL).toStdString();
    EXPECT_FALSE(QFileInfo::exists(partial()));
    EXPECT_FALSE(strip().pauseButton().isVisible());
}

TEST_F(DownloadPauseTest, ACutDownloadReconnectsAndACancelledOneIsResumedByTheNextInstall) {
    clickProductButton(flakyProduct);
    ASSERT_TRUE(waitUntil([this] { return buttonTitle(flakyProduct) == u"Installed"_s; }, 60'000));
    EXPECT_TRUE(stripTitles.filter(u"Reconnecting… (2/5)"_s).size() > 0) << stripTitles.join(u'\n').toStdString();

    // Cancelled while paused: the bytes stay, and installing again continues them.
    ASSERT_NO_FATAL_FAILURE(startAndPause());
    const qint64 kept = QFileInfo(partial()).size();
    strip().cancelButton().click();
    ASSERT_TRUE(waitUntil([this] { return !strip().isVisible(); }));
    EXPECT_EQ(QFileInfo(partial()).size(), kept);
    clickProductButton(throttledProduct);
    ASSERT_TRUE(waitUntil([this] { return buttonTitle(throttledProduct) == u"Installed"_s; }, 60'000));
    const QByteArray resumed =
        "Resumed the download of " + throttledProduct.toUtf8() + " at " + QByteArray::number(kept);
    EXPECT_TRUE(readFile(context->services().locations().logFileURL).contains(resumed));
}

} // namespace
} // namespace klv::test
