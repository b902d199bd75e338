#include "install/InstallationEngine.h"
#include "app/AppContext.h"
#include "install/JobInstaller.h"
#include "library/ProductCache.h"
#include "library/ProductLibrary.h"
#include "library/UnfinishedUpdate.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSemaphore>

#include <map>
#include <memory>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

// Runs the calls already posted to the main thread.
void drain() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// What happened to one scripted component; it outlives the component, which the engine deletes.
struct Record {
    int starts = 0;
    int commits = 0;
    bool takenBack = false;
    QSemaphore gate;
};

// A component the test drives by hand. A blocked step stands for a worker still busy with the job's files.
class ScriptedInstaller final : public JobInstaller {
public:
    ScriptedInstaller(QString reported, QString part, std::shared_ptr<Record> record, QObject *parent)
        : JobInstaller(parent)
        , m_component(std::move(reported))
        , m_part(std::move(part))
        , m_record(std::move(record)) {}

    void start() override { ++m_record->starts; }
    void cancel() override { stopWhenIdle(); }
    void commit() override { ++m_record->commits; }
    QString partName() const override { return m_part; }

    void report(double value) { Q_EMIT progressed(m_component, value); }
    void fail(const QString &message) { Q_EMIT failed(message); }
    // Starts a worker step that runs until the record's gate opens; its result would report the component done.
    void blockInWorker() {
        runWorkerStep(
            [record = m_record] {
                record->gate.acquire();
                return 1.0;
            },
            [this](double value) { report(value); });
    }

private:
    std::function<void()> takeBackWork() override {
        return [record = m_record] {
            record->takenBack = true;
        };
    }

    QString m_component;
    QString m_part;
    std::shared_ptr<Record> m_record;
};

struct Job {
    QList<QPointer<ScriptedInstaller>> installers;
    QList<std::shared_ptr<Record>> records;
    ScriptedInstaller &operator[](qsizetype i) const { return *installers.at(i); }
    Record &record(qsizetype i) const { return *records.at(i); }
};

class InstallationEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        const Locations &locations = services().locations();
        for (const QString &folder :
             {locations.downloadFolderURL, locations.logFolderURL, QFileInfo(locations.productCacheFileURL).path()})
            ASSERT_TRUE(QDir().mkpath(folder));
        engine().setJobInstallerFactory(
            [this](const InstallEnvironment &, const InstallationItem &item, QObject *parent) {
                QList<JobInstaller *> created;
                Job &job = jobs[item.product_name];
                const bool severalParts = item.installProcessType == u"new";
                const QStringList components =
                    severalParts ? QStringList{u"Template Progress"_s, u"Fonts Progress"_s, u"FxPlugs Progress"_s}
                                 : QStringList{u"Template Progress"_s};
                const QStringList parts{u"templates"_s, u"fonts"_s, u"plug-ins"_s};
                for (qsizetype i = 0; i < components.size(); ++i) {
                    job.records.append(std::make_shared<Record>());
                    auto *installer = new ScriptedInstaller(components[i], severalParts ? parts[i] : QString(),
                                                            job.records.constLast(), parent);
                    job.installers.append(installer);
                    created.append(installer);
                }
                return created;
            });
        QObject::connect(&engine(), &InstallationEngine::installationCompleted, &engine(),
                         [this](const QString &name) { events.append(u"Installed "_s + name); });
        QObject::connect(&engine(), &InstallationEngine::jobFailed, &engine(),
                         [this](const QString &name, const QString &) { events.append(u"Failed "_s + name); });
        QObject::connect(&engine(), &InstallationEngine::queueFinished, &engine(),
                         [this] { events.append(u"Finished"_s); });
    }

    Services &services() { return context.services(); }
    InstallationEngine &engine() { return context.installationEngine(); }

    static QJsonObject templateEntry(const QString &name, const QString &application = u"FCP"_s) {
        return {{u"product_name"_s, name}, {u"mainApplication"_s, application}, {u"dlLink"_s, u"http://x/a.zip"_s}};
    }
    // Queues products 1, 2, 3… named after the texts, and lets the first job start.
    void enqueue(const QStringList &names) {
        QJsonObject data;
        for (qsizetype i = 0; i < names.size(); ++i)
            data.insert(QString::number(i + 1), templateEntry(names[i]));
        engine().enqueueDownloadInfo(data, {});
        drain();
    }
    // Every component of the running job reports done.
    void complete(const QString &name) {
        for (const QPointer<ScriptedInstaller> &installer : jobs[name].installers)
            installer->report(1.0);
        drain();
    }
    QString jobFolder(const QString &name) { return services().locations().downloadFolderURL + name; }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    AppContext context{Configuration::fromEnvironment(), alerts};
    std::map<QString, Job> jobs;
    QStringList events;
};

TEST_F(InstallationEngineTest, JobProgressTellsUnknownQueuedAndRunningJobsApart) {
    enqueue({u"Alpha"_s, u"Beta"_s, u"Gamma"_s});
    EXPECT_EQ(engine().jobProgress(u"Alpha"_s, 1), 0.0);
    EXPECT_EQ(engine().jobProgress(u"Beta"_s, 2), -1.0);
    EXPECT_EQ(engine().jobProgress(u"Gamma"_s, 3), -1.0);
    EXPECT_EQ(engine().jobProgress(u"Beta"_s, 3), -2.0) << "name and id must both match";
    EXPECT_EQ(engine().jobProgress(u"Delta"_s, 4), -2.0);

    jobs[u"Alpha"_s][0].report(0.6);
    EXPECT_DOUBLE_EQ(engine().jobProgress(u"Alpha"_s, 1), 0.2) << "the mean of the three components";
    complete(u"Alpha"_s);
    EXPECT_EQ(engine().jobProgress(u"Alpha"_s, 1), 1.0) << "ended jobs stay in the queue until it finishes";
    EXPECT_EQ(engine().jobProgress(u"Beta"_s, 2), 0.0);
    EXPECT_EQ(engine().jobProgress(u"Gamma"_s, 3), -1.0);
}

TEST_F(InstallationEngineTest, OnlyAnOverallProgressOfExactlyOneEndsAJob) {
    enqueue({u"Alpha"_s, u"Beta"_s});
    Job &alpha = jobs[u"Alpha"_s];
    alpha[1].report(1.0);
    alpha[2].report(1.0);
    alpha[0].report(0.99);
    EXPECT_NEAR(engine().jobProgress(u"Alpha"_s, 1), 0.9967, 0.0001);
    EXPECT_TRUE(events.isEmpty()) << events.join(u", "_s).toStdString();
    EXPECT_EQ(engine().installingIndexInQueue(), 0);
    EXPECT_EQ(engine().stripPercentText(), u"99%"_s) << "components without work do not count";

    alpha[0].report(1.0);
    drain();
    EXPECT_EQ(events, QStringList{u"Installed Alpha"_s});
    for (qsizetype i = 0; i < 3; ++i)
        EXPECT_EQ(alpha.record(i).commits, 1) << "what each component placed is kept";
    EXPECT_EQ(engine().installingIndexInQueue(), 1);
    EXPECT_EQ(jobs[u"Beta"_s].record(0).starts, 1);
    EXPECT_EQ(engine().stripTitle(), u"Installing (2 / 2)  Beta"_s);
}

TEST_F(InstallationEngineTest, AJobQueuedBehindTheRunningOneIsCountedAtOnce) {
    enqueue({u"Alpha"_s});
    jobs[u"Alpha"_s][1].report(1.0);
    jobs[u"Alpha"_s][2].report(1.0);
    jobs[u"Alpha"_s][0].report(0.5);
    EXPECT_EQ(engine().stripTitle(), u"Installing (1 / 1)  Alpha"_s);
    engine().enqueueDownloadInfo({{u"7"_s, templateEntry(u"Beta"_s)}}, {});
    EXPECT_EQ(engine().stripTitle(), u"Installing (1 / 2)  Alpha"_s);
    EXPECT_EQ(engine().stripPercentText(), u"50%"_s) << "the value stays";
}

TEST_F(InstallationEngineTest, TheStripShowsTheRunningJobsProgressAsAPercentage) {
    enqueue({u"Alpha"_s});
    Job &alpha = jobs[u"Alpha"_s];
    alpha[1].report(1.0); // no fonts to install
    alpha[2].report(1.0); // nor plug-ins
    const std::pair<double, QString> values[] = {
        {0.05, u"05%"_s}, {0.4567, u"45.67%"_s}, {0.0, u"00%"_s}, {0.123456, u"12.35%"_s}};
    for (const auto &[value, text] : values) {
        alpha[0].report(value);
        EXPECT_EQ(engine().stripPercentText(), text) << value;
        EXPECT_DOUBLE_EQ(engine().stripValue(), value * 100.0);
        EXPECT_TRUE(engine().stripVisible());
    }
    complete(u"Alpha"_s);
    EXPECT_FALSE(engine().stripVisible()) << "an empty queue hides the strip";
}

TEST_F(InstallationEngineTest, TheStripIsTheMeanOfTheComponentsWithWorkAndAFailureDoesNotFillIt) {
    enqueue({u"Alpha"_s, u"Beta"_s});
    Job &alpha = jobs[u"Alpha"_s];
    alpha[1].report(1.0); // no fonts to install
    alpha[2].report(0.5);
    alpha[0].report(0.1);
    EXPECT_EQ(engine().stripPercentText(), u"30%"_s);
    alpha[2].report(1.0);
    EXPECT_EQ(engine().stripPercentText(), u"55%"_s) << "the last value reported is one component's, not the job's";
    alpha[0].fail(u"the package is damaged"_s);
    EXPECT_EQ(engine().stripPercentText(), u"55%"_s);
    ASSERT_TRUE(test::waitUntil([&] { return !events.isEmpty(); }));
    EXPECT_EQ(engine().stripPercentText(), u"00%"_s) << "the next job starts from nothing";
}

TEST_F(InstallationEngineTest, InstalledCompositesAreSkippedAndDuplicatesQueueOnce) {
    OutlineViewItem grain;
    grain.product_name = u"Grain"_s;
    grain.product_location = u"Composite"_s;
    grain.isInstalled = true;
    ASSERT_FALSE(ProductCache::save(services().locations().productCacheFileURL, {grain}));
    ASSERT_TRUE(context.library().loadProductCache());
    QDir().mkpath(services().locations().compositeFolderURL + u"/Grain"_s);

    engine().enqueueDownloadInfo({{u"7"_s, templateEntry(u"Alpha"_s)}},
                                 {QJsonObject{{u"compositeName"_s, u"Grain"_s}, {u"dlLink"_s, u"http://x/g.zip"_s}},
                                  QJsonObject{{u"compositeName"_s, u"Dust"_s}, {u"dlLink"_s, u"http://x/d.zip"_s}}});
    engine().enqueueDownloadInfo({{u"7"_s, templateEntry(u"Alpha"_s)}}, {});
    QStringList queued;
    for (const InstallationItem &job : engine().installingQueue())
        queued.append(job.product_name + u'/' + job.installProcessType);
    EXPECT_EQ(queued, (QStringList{u"Alpha/new"_s, u"Dust/composite"_s}));
}

TEST_F(InstallationEngineTest, CancelWhileIdleLeavesEverythingIdle) {
    engine().cancelInstallation();
    drain();
    EXPECT_FALSE(engine().isBusy());
    EXPECT_EQ(engine().installingIndexInQueue(), -1);
    EXPECT_FALSE(engine().stripVisible());
    EXPECT_TRUE(events.isEmpty()) << events.join(u", "_s).toStdString();

    enqueue({u"Alpha"_s});
    complete(u"Alpha"_s);
    EXPECT_EQ(events, (QStringList{u"Installed Alpha"_s, u"Finished"_s})) << "the queue still works afterwards";
}

TEST_F(InstallationEngineTest, OneFailingComponentTakesBackTheOthersAndTheQueueMovesOn) {
    enqueue({u"Alpha"_s, u"Beta"_s});
    Job &alpha = jobs[u"Alpha"_s];
    alpha[0].report(1.0); // the templates are placed
    alpha[1].report(1.0);
    alpha[2].fail(u"the plug-in archive is damaged"_s);
    ASSERT_TRUE(test::waitUntil([&] { return !events.isEmpty(); }));

    EXPECT_EQ(events, QStringList{u"Failed Alpha"_s});
    ASSERT_FALSE(alerts.shown.isEmpty());
    EXPECT_EQ(alerts.shown.constLast().message, u"Installing Alpha failed: the plug-in archive is damaged"_s);
    for (qsizetype i = 0; i < 2; ++i) {
        EXPECT_TRUE(alpha.record(i).takenBack) << "a finished component takes back what it placed";
        EXPECT_EQ(alpha.record(i).commits, 0);
    }
    EXPECT_FALSE(QFileInfo::exists(jobFolder(u"Alpha"_s)));

    complete(u"Beta"_s);
    EXPECT_EQ(events, (QStringList{u"Failed Alpha"_s, u"Installed Beta"_s, u"Finished"_s}));
}

TEST_F(InstallationEngineTest, AnUpdateMarksThePartsNotYetPlacedAndAFailedOneLeavesTheMarkAsItWas) {
    const QString makerFolder = services().locations().vantoryFolderURL;
    const auto partsBehind = [&](const QString &name) -> std::optional<QStringList> {
        const std::optional<UnfinishedUpdate::Mark> mark = UnfinishedUpdate::markOf(makerFolder, name);
        return mark ? std::optional(mark->partsBehind) : std::nullopt;
    };
    enqueue({u"Alpha"_s});
    Job &alpha = jobs[u"Alpha"_s];
    ASSERT_EQ(alpha.installers.size(), 3);
    EXPECT_EQ(partsBehind(u"Alpha"_s), (QStringList{u"templates"_s, u"fonts"_s, u"plug-ins"_s}));
    alpha[0].report(1.0);
    drain();
    EXPECT_EQ(partsBehind(u"Alpha"_s), (QStringList{u"fonts"_s, u"plug-ins"_s}));
    alpha[2].fail(u"the plug-in archive is damaged"_s);
    ASSERT_TRUE(test::waitUntil([&] { return events.contains(u"Failed Alpha"_s); }));
    EXPECT_EQ(partsBehind(u"Alpha"_s), std::nullopt) << "every part is back as the last update left it";

    // An earlier update left the fonts behind; this one places them, then fails: the fonts are behind again.
    ASSERT_FALSE(UnfinishedUpdate::begin(makerFolder, u"Beta"_s, {QString(), {u"fonts"_s}}));
    enqueue({u"Beta"_s});
    Job &beta = jobs[u"Beta"_s];
    ASSERT_EQ(beta.installers.size(), 3);
    beta[1].report(1.0);
    drain();
    EXPECT_EQ(partsBehind(u"Beta"_s), std::nullopt);
    beta[0].fail(u"the package is damaged"_s);
    ASSERT_TRUE(test::waitUntil([&] { return events.contains(u"Failed Beta"_s); }));
    EXPECT_EQ(partsBehind(u"Beta"_s), QStringList{u"fonts"_s});

    // The next try places everything: no mark is left.
    jobs.erase(u"Beta"_s);
    enqueue({u"Beta"_s});
    complete(u"Beta"_s);
    EXPECT_EQ(partsBehind(u"Beta"_s), std::nullopt);
    EXPECT_TRUE(events.contains(u"Installed Beta"_s));
}

TEST_F(InstallationEngineTest, FailureAndCancelWaitForWorkersToStop) {
    enqueue({u"Alpha"_s, u"Beta"_s});
    Job &alpha = jobs[u"Alpha"_s];
    alpha[0].blockInWorker();
    alpha[1].fail(u"no fonts"_s);
    drain();
    EXPECT_TRUE(events.isEmpty()) << "the failure is told only once the worker stopped";
    EXPECT_TRUE(QFileInfo::exists(jobFolder(u"Alpha"_s))) << "the worker still uses the job folder";
    EXPECT_TRUE(engine().isBusy());
    // A cancel meanwhile empties the queue once the failing job has stopped; Beta never starts.
    engine().cancelInstallation();
    alpha.record(0).gate.release();
    ASSERT_TRUE(test::waitUntil([&] { return !engine().isBusy(); }));
    EXPECT_EQ(events, (QStringList{u"Failed Alpha"_s, u"Finished"_s}));
    EXPECT_FALSE(QFileInfo::exists(jobFolder(u"Alpha"_s)));
    EXPECT_TRUE(alpha.record(0).takenBack);
    EXPECT_TRUE(jobs[u"Beta"_s].installers.isEmpty());

    enqueue({u"Gamma"_s});
    Job &gamma = jobs[u"Gamma"_s];
    gamma[0].blockInWorker();
    engine().cancelInstallation();
    drain();
    EXPECT_TRUE(engine().isBusy()) << "cancel waits for the worker";
    EXPECT_EQ(events.size(), 2);
    gamma.record(0).gate.release();
    ASSERT_TRUE(test::waitUntil([&] { return !engine().isBusy(); }));
    EXPECT_EQ(events.constLast(), u"Finished"_s);
    EXPECT_EQ(engine().jobProgress(u"Gamma"_s, 1), -2.0) << "nothing of the cancelled worker arrives";
}

} // namespace
} // namespace klv
