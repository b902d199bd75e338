#include "WindowFixture.h"

#include "app/StartupSequence.h"
#include "install/InstallationEngine.h"
#include "library/ProductLibrary.h"
#include "shell/MainViewController.h"
#include "store/LoginSession.h"
#include "store/Services.h"

#include <QTest>

namespace klv::test {

using namespace Qt::StringLiterals;

const QString WindowFixture::slowProduct = u"Zoom Transitions"_s;
const QString WindowFixture::slowPackage = u"zoom-transitions.zip"_s;

void WindowFixture::SetUp() {
    QStringList arguments;
    for (const QString &fault : storeFaults())
        arguments << u"--fault"_s << fault;
    store = std::make_unique<storeservice::StoreProcess>(catalogDirectory(), arguments);
    ASSERT_TRUE(store->start()) << store->errorString().toStdString();
    Configuration configuration = Configuration::fromEnvironment();
    configuration.storeUrl = store->url();
    configuration.tutorialUrl = store->url() + u"/tutorials/"_s;
    configuration.videoPlayerUrl = store->url() + u"/player/#"_s;
    // Every address the demo catalog serves, on this store's port.
    configuration.downloadBucketUrl = store->url() + u"/files/bucket/"_s;
    configuration.pluginSiteUrl = store->url() + u"/files/plugins/"_s;
    configuration.fontStoreUrl = store->url() + u"/files/fonts/"_s;
    configuration.logoUrl = store->url() + u"/files/logo.png"_s;
    context = std::make_unique<AppContext>(
        configuration, alerts, [this] { return now; }, &ticks);
    context->services().setDesktopServices(desktop);
    runStartupSequence(*context, {}, UpdaterFetch::onDemand);
}

QString WindowFixture::catalogDirectory() const {
    return demoCatalog();
}

QStringList WindowFixture::storeFaults() const {
    // One product downloads slowly, so tests can watch and cancel a running job.
    return {u"path=/files/templates/%1,kind=drip,delayMs=300"_s.arg(slowPackage)};
}

QProcessEnvironment WindowFixture::klvEnvironment() const {
    QProcessEnvironment environment = home.environment();
    environment.insert(u"KLV_STORE_URL"_s, store->url());
    environment.insert(u"KLV_DOWNLOAD_BUCKET_URL"_s, store->url() + u"/files/bucket/"_s);
    environment.insert(u"KLV_PLUGIN_SITE_URL"_s, store->url() + u"/files/plugins/"_s);
    environment.insert(u"KLV_FONT_STORE_URL"_s, store->url() + u"/files/fonts/"_s);
    environment.insert(u"KLV_LOGO_URL"_s, store->url() + u"/files/logo.png"_s);
    return environment;
}

void WindowFixture::TearDown() {
    window.reset();
    context.reset();
}

void WindowFixture::openWindow() {
    window = std::make_unique<ui::MainViewController>(*context);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

void WindowFixture::signInBeforehand() {
    LoginSession *session = context->createLoginSession(context.get());
    bool finished = false;
    QObject::connect(session, &LoginSession::loginFinished, session, [&finished] { finished = true; });
    ASSERT_TRUE(session->login(u"demo"_s, u"demo"_s));
    ASSERT_TRUE(waitUntil([&finished] { return finished; }));
    ASSERT_TRUE(context->services().settings().sessionActive);
}

const OutlineViewItem *WindowFixture::libraryRecord(const QString &name) const {
    for (const OutlineViewItem &record : context->library().libraryProducts()) {
        if (record.product_name == name)
            return &record;
    }
    return nullptr;
}

void WindowFixture::startSlowInstallation() {
    ASSERT_TRUE(waitUntil([this] { return libraryRecord(slowProduct) != nullptr; }));
    context->installationEngine().requestInstallation(*libraryRecord(slowProduct), true);
    ASSERT_TRUE(waitUntil([this] { return context->installationEngine().stripVisible(); }));
}

} // namespace klv::test
