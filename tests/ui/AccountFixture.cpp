#include "AccountFixture.h"

#include "app/StartupSequence.h"
#include "store/Services.h"

namespace klv::test {

void AccountFixture::SetUp() {
    store = std::make_unique<StoreProcess>();
    ASSERT_TRUE(store->start()) << store->errorString().toStdString();
    makeContext(store->url());
}

void AccountFixture::makeContext(const QString &storeUrl) {
    Configuration configuration = Configuration::fromEnvironment();
    configuration.storeUrl = storeUrl;
    configuration.downloadBucketUrl = storeUrl + QStringLiteral("/files/bucket/");
    context.reset();
    context = std::make_unique<AppContext>(configuration, alerts, [this] { return now; });
    runStartupSequence(*context, {QStringLiteral("klv-app")}, UpdaterFetch::onDemand);
}

void AccountFixture::signInDirectly() {
    Settings &settings = context->services().settings();
    settings.userName = QStringLiteral("Test Customer");
    settings.userEmail = QStringLiteral("tester@klv.example");
    settings.sessionActive = true;
    ASSERT_FALSE(settings.saveSettings());
}

} // namespace klv::test
