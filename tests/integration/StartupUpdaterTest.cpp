#include "app/AppContext.h"
#include "app/StartupSequence.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"
#include "storeservice/StoreProcess.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using test::waitUntil;

// The application fetches the updater at start-up when it is missing, and leaves a present one alone.
class StartupUpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.start()) << store.errorString().toStdString();
        qputenv("KLV_STORE_URL", store.url().toUtf8());
        qputenv("KLV_DOWNLOAD_BUCKET_URL", (store.url() + u"/files/bucket/").toUtf8());
    }
    void TearDown() override {
        qunsetenv("KLV_STORE_URL");
        qunsetenv("KLV_DOWNLOAD_BUCKET_URL");
    }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    storeservice::StoreProcess store{test::demoCatalog()};
};

TEST_F(StartupUpdaterTest, FetchesAMissingUpdaterInTheBackground) {
    // Whether to fetch is decided at start-up: the request is out when it returns, or never sent.
    AppContext context(Configuration::fromEnvironment(), alerts);
    runStartupSequence(context, {u"klv-app"_s}, UpdaterFetch::whenMissing);
    EXPECT_EQ(test::requestsInFlight(context.services().network()), 1);
    const QString updater = context.services().locations().updaterAppURL;
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(updater + u"/AppRun").isExecutable(); }));

    AppContext onDemand(Configuration::fromEnvironment(), alerts);
    QFile::rename(updater, updater + u".moved");
    runStartupSequence(onDemand, {u"klv"_s}, UpdaterFetch::onDemand);
    EXPECT_EQ(test::requestsInFlight(onDemand.services().network()), 0) << "short-lived front ends do not fetch";
}

} // namespace
} // namespace klv
