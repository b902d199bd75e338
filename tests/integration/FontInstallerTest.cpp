#include "install/FontInstaller.h"

#include "InstallerFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QThreadPool>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using test::readFile;
using test::writeFile;

class FontInstallerTest : public test::InstallerFixture {
protected:
    void SetUp() override {
        InstallerFixture::SetUp();
        QDir().mkpath(fonts());
        // The job's folder, which the queue creates before the job's installers start.
        QDir().mkpath(context->services().locations().downloadFolderURL + u"Job"_s);
    }

    QString fonts() const { return context->services().locations().fontsFolderURL; }
    QString archiveFolder() const { return context->services().locations().downloadFolderURL + u"Job/Fonts/"_s; }

    QList<double> install(const QString &fontText, const QString &archiveText) {
        InstallationItem item = job(u"Job"_s, {});
        item.installProcessType = u"new"_s;
        item.downloadExtraInfo.insert(u"font"_s, fontText);
        item.downloadExtraInfo.insert(u"fonturl"_s, archiveText);
        FontInstaller installer({context->services(), notAutoKillList}, item);
        QList<double> progress;
        QObject::connect(&installer, &JobInstaller::progressed, &installer,
                         [&progress](const QString &component, double value) {
                             EXPECT_EQ(component, u"Fonts Progress");
                             progress.append(value);
                         });
        QObject::connect(&installer, &JobInstaller::failed, &installer,
                         [](const QString &message) { ADD_FAILURE() << message.toStdString(); });
        installer.start();
        EXPECT_TRUE(test::waitUntil([&] { return progress.contains(1.0); }));
        return progress;
    }
};

TEST_F(FontInstallerTest, InstallsSingleFontsAndArchivesCountingOnlyWhatWasFetchedAsOpenType) {
    serve(u"fonts/OpenSans.ttf"_s, "open sans truetype");
    serve(u"fonts/Serif.otf"_s, "serif opentype");
    serve(u"fonts/Existing.ttf"_s, "must not be fetched");
    // The store names the type after the file a link leads to: this font is answered as an XML error page.
    serve(u"fonts/error.xml"_s, "<Error>NoSuchKey</Error>");
    ASSERT_TRUE(QFile::link(served(u"fonts/error.xml"_s), served(u"fonts/Xml.ttf"_s)));
    serveZip(u"packs/Pack.zip"_s, {{u"PackFont.ttf"_s, u"packed"_s}, {u"__MACOSX/._PackFont.ttf"_s, u"fork"_s}});
    serve(u"packs/Loose.otf"_s, "loose");
    ASSERT_TRUE(writeFile(fonts() + u"Existing.otf", "installed before"));

    // Five names and two archives; counted are Serif and Xml (both asked for OpenType) and the archives.
    const QList<double> progress = install(u"Open Sans,Serif,Existing,../Evil,Xml"_s,
                                           address(u"packs/Pack.zip"_s) + u',' + address(u"packs/Loose.otf"_s));

    EXPECT_EQ(progress, (QList<double>{1.0 / 7, 2.0 / 7, 3.0 / 7, 4.0 / 7, 1.0}));
    EXPECT_EQ(readFile(fonts() + u"Open Sans.ttf"), "open sans truetype");
    EXPECT_FALSE(QFileInfo::exists(fonts() + u"Open Sans.otf"));
    EXPECT_EQ(readFile(fonts() + u"Serif.otf"), "serif opentype");
    EXPECT_FALSE(QFileInfo::exists(fonts() + u"Serif.ttf"));
    EXPECT_FALSE(QFileInfo::exists(fonts() + u"Existing.ttf"));
    EXPECT_EQ(readFile(fonts() + u"Existing.otf"), "installed before");
    EXPECT_FALSE(QFileInfo::exists(fonts() + u"Xml.ttf"));
    EXPECT_FALSE(QFileInfo::exists(fonts() + u"Xml.otf"));
    EXPECT_FALSE(QFileInfo::exists(fonts() + u"../Evil.ttf"));
    EXPECT_EQ(readFile(fonts() + u"PackFont.ttf"), "packed");
    EXPECT_FALSE(QFileInfo::exists(fonts() + u"__MACOSX"));
    EXPECT_FALSE(QFileInfo::exists(fonts() + u"Loose.otf"));
    EXPECT_EQ(QDir(archiveFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{u"Loose.otf"_s});
    EXPECT_TRUE(alerts.shown.isEmpty());

    const QString text = logText();
    EXPECT_TRUE(text.contains(u"Downloading Font Open Sans"));
    EXPECT_TRUE(text.contains(u"Downloading Font Existing"));
    EXPECT_TRUE(text.contains(u"Received application/xml instead with suggested file name Xml.ttf, encoding "));
    EXPECT_TRUE(text.contains(u"“../Evil”"));
    EXPECT_TRUE(text.contains(u"Downloading FontURL "_s + address(u"packs/Pack.zip"_s)));
    EXPECT_TRUE(text.trimmed().endsWith(u"Done Install Font for : Job"));
}

TEST_F(FontInstallerTest, FontsOfACompletedJobStayWhenTheQueueReleasesTheInstaller) {
    serveZip(u"packs/Pack.zip"_s, {{u"PackFont.ttf"_s, u"packed"_s}});
    InstallationItem item = job(u"Job"_s, {});
    item.installProcessType = u"new"_s;
    item.downloadExtraInfo.insert(u"fonturl"_s, address(u"packs/Pack.zip"_s));
    FontInstaller installer({context->services(), notAutoKillList}, item);
    bool placed = false;
    bool stopped = false;
    QObject::connect(&installer, &JobInstaller::progressed, &installer,
                     [&placed](const QString &, double value) { placed = value == 1.0; });
    QObject::connect(&installer, &JobInstaller::stopped, &installer, [&stopped] { stopped = true; });
    installer.start();
    ASSERT_TRUE(test::waitUntil([&] { return placed; }));
    // The paths a verification later reports, without a doubled slash.
    EXPECT_EQ(installer.placedItems(), QStringList{fonts() + u"PackFont.ttf"});

    // As the queue ends a job: it keeps what the job placed, then releases (cancels) the installer. The workers are
    // busy meanwhile, so what commit() leaves to them has not run yet when the installer is released.
    QThreadPool &workers = *QThreadPool::globalInstance();
    const int threads = workers.maxThreadCount();
    QSemaphore occupied;
    QSemaphore busy;
    for (int i = 0; i < threads; ++i) {
        workers.start([&occupied, &busy] {
            occupied.release();
            busy.acquire();
        });
    }
    const bool allOccupied = occupied.tryAcquire(threads, 30'000);
    installer.commit();
    EXPECT_TRUE(installer.placedItems().isEmpty()) << "what was kept is no longer the installer's to take back";
    installer.cancel();
    busy.release(threads);
    // The semaphores are this function's: none of its tasks may still be waiting once it returns.
    workers.waitForDone();
    ASSERT_TRUE(allOccupied);
    ASSERT_TRUE(test::waitUntil([&] { return stopped; }));
    EXPECT_EQ(readFile(fonts() + u"PackFont.ttf"), "packed");
}

TEST_F(FontInstallerTest, FailedDownloadsAreLoggedAndTheStepStillEnds) {
    const QList<double> progress = install(u"Missing"_s, u"not a link,"_s + address(u"packs/Missing.zip"_s));

    EXPECT_EQ(progress, (QList<double>{1.0 / 3, 2.0 / 3, 1.0}));
    EXPECT_EQ(QDir(fonts()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    EXPECT_TRUE(logText().contains(u"Skipped the font archive \"not a link\""));
}

TEST_F(FontInstallerTest, NoFontsIsDoneAtOnce) {
    EXPECT_EQ(install(QString(), QString()), QList<double>{1.0});
    EXPECT_TRUE(logText().contains(u"Done Install Font for : Job"));
}

} // namespace
} // namespace klv
