#include "install/FontInstaller.h"

#include "library/InstallationItem.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "StoreProcess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

using namespace klv::test;

namespace klv {

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

void writeZip(const QString &path, const QJsonObject &entries) {
    QDir().mkpath(QFileInfo(path).path());
    const QString script = u"import json, sys, zipfile\n"
                           u"with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                           u"    for name, data in json.loads(sys.argv[2]).items(): z.writestr(name, data)\n"_s;
    ASSERT_EQ(
        QProcess::execute(u"python3"_s, {u"-c"_s, script, path, QString::fromUtf8(QJsonDocument(entries).toJson())}),
        0);
}

class FontInstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(m_catalog.filePath(u"store.json"_s), R"({"accounts": []})");
        ASSERT_TRUE(m_store.start()) << m_store.errorString().toStdString();
        qputenv("KLV_FONT_STORE_URL", (m_store.url() + u"/files/fonts/").toUtf8());
        services = std::make_unique<Services>(Configuration::fromEnvironment(), alerts);
        const Locations &locations = services->locations();
        QDir().mkpath(locations.logFolderURL);
        QDir().mkpath(locations.fontsFolderURL);
        // The job's folder, which the queue creates before the job's installers start.
        QDir().mkpath(locations.downloadFolderURL + u"Job");
    }
    void TearDown() override { qunsetenv("KLV_FONT_STORE_URL"); }

    QString served(const QString &relative) const { return m_catalog.filePath(u"files/"_s + relative); }
    QString address(const QString &relative) const { return m_store.url() + u"/files/"_s + relative; }
    QString fonts() const { return services->locations().fontsFolderURL; }
    QString archiveFolder() const { return services->locations().downloadFolderURL + u"Job/Fonts/"; }
    QString log() const { return QString::fromUtf8(readFile(services->log().filePath())); }

    QList<double> install(const QString &fontText, const QString &archiveText) {
        InstallationItem job;
        job.product_name = u"Job"_s;
        job.installProcessType = u"new"_s;
        job.downloadExtraInfo.insert(u"font"_s, fontText);
        job.downloadExtraInfo.insert(u"fonturl"_s, archiveText);
        FontInstaller installer({*services, m_notAutoKillList}, job);
        QList<double> progress;
        QObject::connect(&installer, &JobInstaller::progressed, &installer,
                         [&progress](const QString &component, double value) {
                             EXPECT_EQ(component, u"Fonts Progress");
                             progress.append(value);
                         });
        QObject::connect(&installer, &JobInstaller::failed, &installer,
                         [](const QString &message) { ADD_FAILURE() << message.toStdString(); });
        installer.start();
        EXPECT_TRUE(waitUntil([&] { return progress.contains(1.0); }, 20'000));
        return progress;
    }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    QTemporaryDir m_catalog;
    test::StoreProcess m_store{m_catalog.path()};
    // After the store, so that its connections are closed before the store stops.
    std::unique_ptr<Services> services;
    QStringList m_notAutoKillList;
};

TEST_F(FontInstallerTest, InstallsSingleFontsAndArchivesCountingOnlyWhatWasFetchedAsOpenType) {
    writeFile(served(u"fonts/OpenSans.ttf"_s), "open sans truetype");
    writeFile(served(u"fonts/Serif.otf"_s), "serif opentype");
    writeFile(served(u"fonts/Existing.ttf"_s), "must not be fetched");
    // The store names the type after the file a link leads to: this font is answered as an XML error page.
    writeFile(served(u"fonts/error.xml"_s), "<Error>NoSuchKey</Error>");
    ASSERT_TRUE(QFile::link(served(u"fonts/error.xml"_s), served(u"fonts/Xml.ttf"_s)));
    writeZip(served(u"packs/Pack.zip"_s),
             {{u"PackFont.ttf"_s, u"packed"_s}, {u"__MACOSX/._PackFont.ttf"_s, u"fork"_s}});
    writeFile(served(u"packs/Loose.otf"_s), "loose");
    writeFile(fonts() + u"Existing.otf", "installed before");

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

    const QString text = log();
    EXPECT_TRUE(text.contains(u"Downloading Font Open Sans"));
    EXPECT_TRUE(text.contains(u"Downloading Font Existing"));
    EXPECT_TRUE(text.contains(u"Received application/xml instead with suggested file name Xml.ttf, encoding "));
    EXPECT_TRUE(text.contains(u"“../Evil”"));
    EXPECT_TRUE(text.contains(u"Downloading FontURL "_s + address(u"packs/Pack.zip"_s)));
    EXPECT_TRUE(text.trimmed().endsWith(u"Done Install Font for : Job"));
}

TEST_F(FontInstallerTest, FailedDownloadsAreLoggedAndTheStepStillEnds) {
    const QList<double> progress = install(u"Missing"_s, u"not a link,"_s + address(u"packs/Missing.zip"_s));

    EXPECT_EQ(progress, (QList<double>{1.0 / 3, 2.0 / 3, 1.0}));
    EXPECT_EQ(QDir(fonts()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    EXPECT_TRUE(log().contains(u"Skipped the font archive \"not a link\""));
}

TEST_F(FontInstallerTest, NoFontsIsDoneAtOnce) {
    EXPECT_EQ(install(QString(), QString()), QList<double>{1.0});
    EXPECT_TRUE(log().contains(u"Done Install Font for : Job"));
}

} // namespace
} // namespace klv
