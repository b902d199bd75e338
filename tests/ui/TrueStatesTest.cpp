#include "LibraryFixture.h"

#include "app/StartupSequence.h"
#include "install/InstallationEngine.h"
#include "library/ProductLibrary.h"
#include "products/ProductInstallationViewScript.h"
#include "store/Services.h"

#include "CliRun.h"
#include "TestFiles.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace klv::test {
namespace {

const QString resolveProduct = u"Cinematic Looks DVR 3"_s;
const QString quickProduct = u"Motion Blur Pro"_s;
// Sent slowly to klv, so that the window meets klv's installation while it runs.
const QString klvProduct = u"Retro Typewriter"_s;

// Every title a row's button showed while the condition came true.
QStringList titlesUntil(const std::function<QString()> &title, const std::function<bool()> &done,
                        int timeoutMs = 60'000) {
    QStringList seen;
    waitUntil(
        [&] {
            if (const QString now = title(); seen.isEmpty() || seen.last() != now)
                seen << now;
            return done();
        },
        timeoutMs);
    return seen;
}

// The demo catalog, but the store has no download for this product.
const QString productWithoutDownload = u"Élan Titles"_s;

class TrueStatesTest : public LibraryFixture {
protected:
    QString catalogDirectory() const override {
        if (!QFileInfo::exists(catalog.filePath(u"store.json"_s))) {
            linkCatalog(LibraryFixture::catalogDirectory(), catalog.path());
            EXPECT_TRUE(editCatalog(catalog.path(), [](QJsonObject &root) {
                QJsonArray products = root[u"products"].toArray();
                for (QJsonValueRef product : products) {
                    QJsonObject object = product.toObject();
                    if (object[u"product_name"] == productWithoutDownload)
                        object.remove(u"download"_s);
                    product = object;
                }
                root[u"products"] = products;
            }));
        }
        return catalog.path();
    }
    void SetUp() override {
        LibraryFixture::SetUp();
        QObject::connect(&context->installationEngine(), &InstallationEngine::jobStarted, window.get(),
                         [this](const InstallationItem &job) { jobsStarted << job.product_name; });
    }

    QStringList storeFaults() const override {
        return LibraryFixture::storeFaults() +
               QStringList{u"path=/files/templates/retro-typewriter.zip,kind=throttle,bytesPerSecond=400"_s,
                           u"path=/files/templates/paper-cutouts.zip,kind=status,status=404"_s};
    }

    // klv started in this home, against this store; the test runs the window's events while it works.
    std::unique_ptr<QProcess> startKlv(const QStringList &arguments) const {
        auto klv = std::make_unique<QProcess>();
        klv->setProcessEnvironment(klvEnvironment());
        klv->start(QStringLiteral(KLV_CLI_BINARY), arguments);
        EXPECT_TRUE(klv->waitForStarted());
        return klv;
    }
    static bool ended(QProcess &process) {
        return waitUntil([&process] { return process.state() == QProcess::NotRunning; }, 60'000) &&
               process.exitStatus() == QProcess::NormalExit;
    }
    // The product as `klv list --json` sees it in the same home.
    QJsonObject listed(const QString &name) const {
        const CliResult result = runKlv({u"list"_s, u"--json"_s}, klvEnvironment());
        const QJsonArray products = QJsonDocument::fromJson(result.out.toUtf8()).object()[u"products"].toArray();
        for (const QJsonValue &product : products) {
            if (product[u"name"] == name)
                return product.toObject();
        }
        return {};
    }
    bool lockHeldElsewhere() const {
        return QFileInfo::exists(context->services().locations().installationLockFileURL);
    }

    // The window's jobs, in the order they started: a job is what downloads.
    QStringList jobsStarted;
    QTemporaryDir catalog;
};

TEST_F(TrueStatesTest, AResolveProductGoesThroughItsJobAndEndsInstalledAsKlvSaysAndStaysInstalled) {
    clickProductButton(resolveProduct);
    QSignalSpy queueDone(&context->installationEngine(), &InstallationEngine::queueFinished);
    const QStringList seen =
        titlesUntil([&] { return buttonTitle(resolveProduct); }, [&] { return !queueDone.isEmpty(); });
    EXPECT_EQ(seen.last(), u"Installed"_s) << seen.join(u" → "_s).toStdString();
    EXPECT_TRUE(seen.contains(u"Installing..."_s)) << seen.join(u" → "_s).toStdString();
    EXPECT_TRUE(listed(resolveProduct)[u"installed"].toBool()) << "the window and klv agree";

    // Asked again (a klv:// link does that), the installed product is answered, not installed twice.
    QSignalSpy handled(&context->installationEngine(), &InstallationEngine::downloadInfoHandled);
    context->installationEngine().requestInstallation(*libraryRecord(resolveProduct), true);
    ASSERT_TRUE(handled.wait());
    ASSERT_FALSE(alerts.shown.isEmpty());
    EXPECT_TRUE(alerts.shown.last().message.contains(u"Already installed"_s))
        << alerts.shown.last().message.toStdString();
    EXPECT_EQ(jobsStarted, QStringList{resolveProduct});
}

TEST_F(TrueStatesTest, TheRunningJobSaysSoFromItsFirstStepAndOnlyItsOwnRowChanges) {
    // Two composites share the product number 0: the one asked for shows its job, the other stays as it was.
    clickProductButton(u"Dust & Scratches"_s);
    EXPECT_EQ(buttonTitle(u"Vintage Film Burns"_s), u"Install"_s);
    ASSERT_TRUE(waitUntil([this] { return buttonTitle(u"Dust & Scratches"_s) == u"Downloaded"_s; }, 60'000));

    clickProductButton(slowProduct);
    ASSERT_TRUE(waitUntil([this] { return view().installationStrip().isVisible(); }));
    // Nothing has arrived yet of a package sent a byte at a time; the job runs all the same.
    EXPECT_EQ(buttonTitle(slowProduct), u"Installing..."_s);
    view().installationStrip().cancelButton().click();
    ASSERT_TRUE(waitUntil([this] { return !context->installationEngine().isBusy(); }));
    EXPECT_EQ(buttonTitle(slowProduct), u"Install"_s);
}

TEST_F(TrueStatesTest, AJobThatEndsWhileAnotherSectionShowsTakesTheStripWithIt) {
    QSignalSpy queueDone(&context->installationEngine(), &InstallationEngine::queueFinished);
    clickProductButton(quickProduct);
    window->showSection(appMenuIndex::accountAppMenu);
    ASSERT_TRUE(queueDone.wait());
    window->showSection(appMenuIndex::myProductsAppMenu);
    EXPECT_FALSE(view().installationStrip().isVisible()) << view().installationStrip().titleText().toStdString();
    EXPECT_EQ(buttonTitle(quickProduct), u"Installed"_s);
}

TEST_F(TrueStatesTest, AnErrorPageIsNeverProgressAndTheFailureIsTold) {
    QStringList strip;
    QObject::connect(&context->installationEngine(), &InstallationEngine::stripChanged, window.get(), [&] {
        strip << context->installationEngine().stripTitle() + u' ' + context->installationEngine().stripPercentText();
    });
    clickProductButton(u"Paper Cutouts"_s);
    ASSERT_TRUE(waitUntil([this] { return !context->installationEngine().isBusy() && !alerts.shown.isEmpty(); }));
    EXPECT_TRUE(strip.filter(u"bytes"_s).isEmpty()) << strip.join(u" | "_s).toStdString();
    EXPECT_TRUE(alerts.shown.last().message.contains(u"404"_s)) << alerts.shown.last().message.toStdString();
    EXPECT_EQ(buttonTitle(u"Paper Cutouts"_s), u"Install"_s);
}

TEST_F(TrueStatesTest, AStoreThatRefusesTheDownloadSaysWhy) {
    clickProductButton(productWithoutDownload);
    ASSERT_TRUE(waitUntil([this] { return !alerts.shown.isEmpty(); }));
    EXPECT_FALSE(alerts.shown.last().message.isEmpty());
    EXPECT_EQ(buttonTitle(productWithoutDownload), u"Install"_s);
    const CliResult klv = runKlv({u"install"_s, productWithoutDownload}, klvEnvironment());
    EXPECT_EQ(klv.exitCode, 1);
    EXPECT_TRUE(klv.err.contains(alerts.shown.last().message)) << "the window and klv say the same";
}

TEST_F(TrueStatesTest, WhatKlvInstallsBesideTheWindowShowsThereAndIsNotInstalledTwice) {
    // The window idle: klv's install shows in its row once klv is done.
    const std::unique_ptr<QProcess> first = startKlv({u"install"_s, quickProduct});
    ASSERT_TRUE(ended(*first));
    ASSERT_EQ(first->exitCode(), 0) << first->readAllStandardError().toStdString();
    EXPECT_TRUE(waitUntil([this] { return buttonTitle(quickProduct) == u"Installed"_s; }, 1'000))
        << buttonTitle(quickProduct).toStdString();

    // The window asks for what klv is installing: it waits, says for what, then finds it installed.
    const std::unique_ptr<QProcess> second = startKlv({u"install"_s, klvProduct});
    ASSERT_TRUE(waitUntil([this] { return lockHeldElsewhere(); }));
    clickProductButton(klvProduct);
    ui::ProductInstallationViewScript &strip = view().installationStrip();
    ASSERT_TRUE(waitUntil([&strip] { return strip.isVisible(); }));
    EXPECT_TRUE(strip.titleText().startsWith(u"Waiting for klv to finish before installing "_s + klvProduct))
        << "the product comes before anything that could cut it off: " << strip.titleText().toStdString();
    EXPECT_FALSE(strip.titleText().contains(u"process"_s)) << strip.titleText().toStdString();
    EXPECT_TRUE(strip.cancelButton().isVisible());
    EXPECT_EQ(buttonTitle(klvProduct), u"In Queue"_s);
    QSignalSpy answered(&context->installationEngine(), &InstallationEngine::downloadInfoHandled);
    ASSERT_TRUE(ended(*second));
    ASSERT_TRUE(waitUntil([&] { return !answered.isEmpty() && !strip.isVisible(); }));
    EXPECT_EQ(buttonTitle(klvProduct), u"Installed"_s);
    EXPECT_FALSE(jobsStarted.contains(klvProduct)) << "downloaded by klv alone";
    ASSERT_FALSE(alerts.shown.isEmpty());
    EXPECT_TRUE(alerts.shown.last().message.contains(u"Already installed"_s));
}

TEST_F(TrueStatesTest, WaitingForKlvCanBeGivenUp) {
    const std::unique_ptr<QProcess> klv = startKlv({u"install"_s, klvProduct});
    ASSERT_TRUE(waitUntil([this] { return lockHeldElsewhere(); }));
    clickProductButton(quickProduct);
    ui::ProductInstallationViewScript &strip = view().installationStrip();
    ASSERT_TRUE(waitUntil([&strip] { return strip.isVisible(); }));
    strip.cancelButton().click();
    EXPECT_FALSE(strip.isVisible());
    EXPECT_EQ(buttonTitle(quickProduct), u"Install"_s);
    ASSERT_TRUE(ended(*klv));
    EXPECT_TRUE(waitUntil([this] { return buttonTitle(klvProduct) == u"Installed"_s; }, 1'000));
    EXPECT_EQ(buttonTitle(quickProduct), u"Install"_s) << "given up: not installed after klv";
    EXPECT_TRUE(jobsStarted.isEmpty());
}

TEST_F(TrueStatesTest, UninstallingAResolveProductRemovesItsBundleAndTheRowTurnsInstall) {
    clickProductButton(resolveProduct);
    ASSERT_TRUE(waitUntil([this] { return buttonTitle(resolveProduct) == u"Installed"_s; }, 60'000));
    alerts.answers = {0, 0};
    withOptionMenu(resolveProduct, [](QMenu &menu) { menu.actions().constLast()->trigger(); });
    ASSERT_TRUE(waitUntil([this] { return !alerts.shown.isEmpty() && alerts.shown.last().title == u"Uninstall"_s; }));
    EXPECT_TRUE(alerts.shown.last().message.contains(u".drfx"_s)) << alerts.shown.last().message.toStdString();
    EXPECT_TRUE(waitUntil([this] { return buttonTitle(resolveProduct) == u"Install"_s; }));
    EXPECT_EQ(listed(resolveProduct)[u"installed"], false) << "as klv says";
}

TEST_F(TrueStatesTest, ClearingTheCacheWithoutTheStoreKeepsItAndClearsItOnceTheStoreAnswers) {
    const QString cache = context->services().locations().productCacheFileURL;
    ASSERT_TRUE(QFileInfo::exists(cache));
    const QStringList rows = rowTitles();
    context->library().retryClearingEvery(std::chrono::milliseconds(200));
    const QStringList faults = storeFaults();
    ASSERT_TRUE(store->stop());

    EXPECT_TRUE(window->reloadAfterClearingCache());
    ASSERT_TRUE(waitUntil([this] { return !alerts.shown.isEmpty(); }));
    EXPECT_NE(alerts.shown.last().title, u"Cache Cleared"_s);
    EXPECT_TRUE(alerts.shown.last().message.contains(u"could not be reached"_s))
        << alerts.shown.last().message.toStdString();
    EXPECT_TRUE(QFileInfo::exists(cache));
    EXPECT_EQ(rowTitles(), rows);

    // The same address again, as a store that comes back has.
    QStringList arguments{u"--port"_s,
                          QUrl(store->url()).port() > 0 ? QString::number(QUrl(store->url()).port()) : QString()};
    for (const QString &fault : faults)
        arguments << u"--fault"_s << fault;
    store = std::make_unique<storeservice::StoreProcess>(catalogDirectory(), arguments);
    ASSERT_TRUE(store->start()) << store->errorString().toStdString();
    ASSERT_TRUE(waitUntil([this] { return alerts.shown.last().title == u"Cache Cleared"_s; }));
    ASSERT_TRUE(waitUntil([this, &rows] { return rowTitles() == rows; }));
}

TEST_F(TrueStatesTest, DetailedLoggingWritesALineForEachCellShown) {
    const QString log = context->services().locations().logFileURL;
    ASSERT_TRUE(waitUntil([this] { return outline().isVisible(); }));
    EXPECT_FALSE(QString::fromUtf8(readFile(log)).contains(u"Create Button for product ID"_s)) << "off by default";

    runStartupSequence(*context, {u"klv-app"_s, u"-klvLogDetail"_s}, UpdaterFetch::onDemand);
    window.reset();
    openWindow();
    window->showSection(appMenuIndex::myProductsAppMenu);
    const OutlineViewItem *shown = libraryRecord(u"Creator Essentials Bundle"_s);
    ASSERT_NE(shown, nullptr);
    const QString id = QString::number(shown->product_id);
    const auto logged = [&](const QString &what) {
        return QString::fromUtf8(readFile(log))
            .count(what + u" for product ID : "_s + id + u" with Name : Creator Essentials Bundle"_s);
    };
    ASSERT_TRUE(waitUntil([&] { return logged(u"Create Button"_s) >= 1; }));
    EXPECT_GE(logged(u"Create Image"_s), 1);
    EXPECT_GE(logged(u"Create Info"_s), 1);
    // Once per cell shown, not once per paint: hovering repaints the row.
    const qsizetype before = logged(u"Create Button"_s);
    const QModelIndex row = rowOf(u"Creator Essentials Bundle"_s, ui::LibraryModel::actionColumn);
    for (int i = 0; i < 5; ++i)
        outline().viewport()->repaint(outline().visualRect(row));
    EXPECT_EQ(logged(u"Create Button"_s), before);
}

} // namespace
} // namespace klv::test
