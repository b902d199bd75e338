#include "app/InstallationTurn.h"

#include "core/InstallationQueueLock.h"
#include "install/InstallationEngine.h"
#include "install/JobInstaller.h"
#include "library/OutlineViewItem.h"

#include "InstallerFixture.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using test::waitUntil;

// A component that is done as soon as it starts, unless it is told to wait for the test.
class InstantInstaller final : public JobInstaller {
public:
    InstantInstaller(QString component, bool waits, QObject *parent)
        : JobInstaller(parent)
        , m_component(std::move(component))
        , m_waits(waits) {}

    void start() override {
        if (!m_waits)
            finish();
    }
    void cancel() override { stopWhenIdle(); }
    void finish() { Q_EMIT progressed(m_component, 1.0); }

private:
    QString m_component;
    bool m_waits;
};

OutlineViewItem product(qint64 id, const QString &name) {
    OutlineViewItem item;
    item.product_id = id;
    item.product_name = name;
    return item;
}

class InstallationTurnTest : public test::InstallerFixture {
protected:
    void SetUp() override {
        InstallerFixture::SetUp();
        if (HasFatalFailure())
            return;
        context->services().settings().userEmail = email;
        context->installationEngine().setJobInstallerFactory(
            [this](const InstallEnvironment &, const InstallationItem &item, QObject *parent) {
                QList<JobInstaller *> created;
                for (const QString &component : {u"Template Progress"_s, u"Fonts Progress"_s, u"FxPlugs Progress"_s}) {
                    auto *installer = new InstantInstaller(component, item.product_name == slowJob, parent);
                    if (item.product_name == slowJob)
                        waiting.append(installer);
                    created.append(installer);
                }
                return created;
            });
    }

    // Alpha and Beta, owned by the customer; faults apply to the download-information requests in order.
    void writeStore(const QJsonArray &faults) {
        const auto entry = [](const QString &name) {
            return QJsonObject{{u"templateData"_s,
                                QJsonObject{{u"1"_s, QJsonObject{{u"product_name"_s, name},
                                                                 {u"mainApplication"_s, u"FCP"_s},
                                                                 {u"dlLink"_s, u"http://unused.example/a.zip"_s}}}}}};
        };
        const QJsonObject content{
            {u"accounts"_s, QJsonArray{QJsonObject{{u"email"_s, email}, {u"products"_s, QJsonArray{1, 2}}}}},
            {u"products"_s,
             QJsonArray{
                 QJsonObject{{u"product_id"_s, 1}, {u"product_name"_s, u"Alpha"_s}, {u"download"_s, entry(u"Alpha"_s)}},
                 QJsonObject{{u"product_id"_s, 2}, {u"product_name"_s, u"Beta"_s}, {u"download"_s, entry(u"Beta"_s)}}}},
            {u"faults"_s, faults}};
        ASSERT_TRUE(test::writeFile(catalog.filePath(u"store.json"_s), QJsonDocument(content).toJson()));
    }

    InstallationTurn &turn() { return context->installationTurn(); }
    InstallationQueueLock &lock() { return context->installationQueueLock(); }
    static void drain() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    const QString email = u"turn@klv.example"_s;
    QString slowJob = u"Alpha"_s;
    QList<QPointer<InstantInstaller>> waiting;
};

TEST_F(InstallationTurnTest, TheQueueStaysOursWhileAnyRequestIsInFlightAndGoesBackWhenTheLastJobEnds) {
    // Alpha's answer comes late; Beta's request, sent after it, is answered at once with a failure.
    writeStore(
        {QJsonObject{
             {u"rt"_s, u"requestDownloadInfo"_s}, {u"kind"_s, u"delay"_s}, {u"delayMs"_s, 1500}, {u"times"_s, 1}},
         QJsonObject{
             {u"rt"_s, u"requestDownloadInfo"_s}, {u"kind"_s, u"status"_s}, {u"status"_s, 500}, {u"times"_s, 1}}});
    InstallationEngine &engine = context->installationEngine();
    QStringList answered;
    QObject::connect(&engine, &InstallationEngine::downloadInfoHandled, &engine,
                     [&](const QString &name) { answered.append(name); });

    turn().whenOurs(u"installing Alpha"_s, [&] { engine.requestInstallation(product(1, u"Alpha"_s), true); });
    ASSERT_TRUE(lock().isHeld());
    // Beta goes out once the store has Alpha's request, so that the delay is Alpha's and the failure Beta's.
    ASSERT_TRUE(waitUntil([&] {
        const QList<QJsonObject> requests = store->requestLog();
        return std::any_of(requests.cbegin(), requests.cend(), [](const QJsonObject &request) {
            return request.value(u"rt").toString() == u"requestDownloadInfo";
        });
    }));
    turn().whenOurs(u"installing Beta"_s, [&] { engine.requestInstallation(product(2, u"Beta"_s), true); });

    ASSERT_TRUE(waitUntil([&] { return !answered.isEmpty(); }));
    ASSERT_EQ(answered, QStringList{u"Beta"_s}) << "each answer names its product";
    drain();
    EXPECT_TRUE(lock().isHeld()) << "Alpha's request is still in flight";

    ASSERT_TRUE(waitUntil([&] { return !waiting.isEmpty(); }));
    EXPECT_EQ(answered, (QStringList{u"Beta"_s, u"Alpha"_s}));
    drain();
    EXPECT_TRUE(lock().isHeld()) << "Alpha's job is running";
    EXPECT_FALSE(turn().isIdle());

    for (const QPointer<InstantInstaller> &installer : std::as_const(waiting))
        installer->finish();
    ASSERT_TRUE(waitUntil([&] { return !engine.isBusy(); }));
    drain();
    EXPECT_TRUE(turn().isIdle());
    EXPECT_FALSE(lock().isHeld()) << "given back once nothing is left";
}

TEST_F(InstallationTurnTest, ARequestThatEndsInNoJobGivesTheQueueBack) {
    writeStore({QJsonObject{{u"rt"_s, u"requestDownloadInfo"_s}, {u"kind"_s, u"status"_s}, {u"status"_s, 500}}});
    InstallationEngine &engine = context->installationEngine();
    bool answered = false;
    QObject::connect(&engine, &InstallationEngine::downloadInfoHandled, &engine, [&] { answered = true; });
    turn().whenOurs(u"installing Beta"_s, [&] { engine.requestInstallation(product(2, u"Beta"_s), true); });
    ASSERT_TRUE(lock().isHeld());
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    EXPECT_TRUE(waitUntil([&] { return !lock().isHeld(); })) << "no job follows a failed answer";
}

TEST_F(InstallationTurnTest, AStretchAFrontEndHoldsKeepsTheQueueUntilItIsLetGo) {
    writeStore({});
    slowJob.clear();
    InstallationEngine &engine = context->installationEngine();
    bool ran = false;
    turn().whenOurs(u"a command"_s, [&] {
        ran = true;
        turn().hold();
    });
    ASSERT_TRUE(ran);
    drain();
    EXPECT_TRUE(lock().isHeld()) << "nothing was sent yet, but the command is not done";

    engine.requestInstallation(product(1, u"Alpha"_s), true);
    ASSERT_TRUE(waitUntil([&] { return !engine.hasRequestsInFlight() && !engine.isBusy(); }));
    drain();
    EXPECT_TRUE(lock().isHeld()) << "the job ended, the stretch did not";
    turn().letGo();
    EXPECT_FALSE(lock().isHeld());
}

} // namespace
} // namespace klv
