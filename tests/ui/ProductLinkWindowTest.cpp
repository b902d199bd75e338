#include "WindowFixture.h"

#include "controls/StoreWebView.h"
#include "install/InstallationEngine.h"
#include "library/ProductLibrary.h"
#include "products/LibraryHeaderBar.h"
#include "products/LibraryModel.h"
#include "products/StoreProductScrollViewScript.h"
#include "products/StoreProductViewScript.h"
#include "shell/ProductLinkHandler.h"
#include "shell/SingleInstance.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>

using namespace Qt::StringLiterals;

namespace klv::test {

class ProductLinkWindowTest : public WindowFixture {
protected:
    QString currentRowTitle() const {
        const ui::StoreProductScrollViewScript &outline = window->storeProductView().outline();
        return outline.currentIndex().siblingAtColumn(ui::LibraryModel::nameColumn).data().toString();
    }
};

TEST_F(ProductLinkWindowTest, AProductLinkOpensTheLibraryAtItsProductEvenBeforeTheLibraryCame) {
    signInBeforehand();
    openWindow();
    ui::ProductLinkHandler links(*context, *window);
    // Sent at once: the library is still on its way, so the link waits for it.
    links.openArguments({u"--some-flag"_s, u"klv://product/3420"_s});
    ASSERT_TRUE(waitUntil([this] { return window->currentSection() == appMenuIndex::myProductsAppMenu; }));
    EXPECT_EQ(window->storeProductView().headerBar().searchField().text(), u"Neon Signs"_s);
    EXPECT_EQ(currentRowTitle(), u"Neon Signs"_s);
    EXPECT_TRUE(alerts.shown.isEmpty());

    links.openLink(u"klv://product/999999"_s);
    EXPECT_EQ(alerts.shown.last().message, u"The product 999999 is not in your library."_s);
    links.openLink(u"klv://uninstall/3420"_s);
    EXPECT_EQ(alerts.shown.size(), 2) << "a link of another form is refused with its reason";
}

TEST_F(ProductLinkWindowTest, AnInstallLinkAsksFirst) {
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([this] { return !context->library().libraryProducts().isEmpty(); }));
    ui::ProductLinkHandler links(*context, *window);

    alerts.answers = {1};
    links.openLink(u"klv://install/3740"_s);
    EXPECT_EQ(alerts.shown.last().title, u"Install Retro Typewriter?"_s);
    EXPECT_EQ(alerts.shown.last().message, u"A klv:// link asks to install Retro Typewriter from your library."_s);
    EXPECT_EQ(alerts.shown.last().buttons, (QStringList{u"Install"_s, u"Cancel"_s}));
    EXPECT_FALSE(context->installationEngine().isBusy());

    alerts.answers = {0};
    links.openLink(u"klv://install/3740"_s);
    ASSERT_TRUE(waitUntil([this] { return libraryRecord(u"Retro Typewriter"_s)->isInstalled; }, 60'000));

    // Installed already: nothing to ask.
    const auto shownBefore = alerts.shown.size();
    links.openLink(u"klv://install/3740"_s);
    EXPECT_EQ(alerts.shown.size(), shownBefore + 1);
    EXPECT_EQ(alerts.shown.last().message, u"Retro Typewriter: Installed."_s);
}

TEST_F(ProductLinkWindowTest, TheFeaturedPagesLinkReachesTheApplication) {
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([this] { return window->featureWebView() != nullptr; }));
    ui::StoreWebView &featured = *window->featureWebView();
    ASSERT_TRUE(waitUntil([&featured] { return featured.title() == u"Featured — Vantory"_s; }));
    QSignalSpy links(window.get(), &ui::MainViewController::productLinkRequested);
    QWidget *surface = featured.focusProxy();
    ASSERT_NE(surface, nullptr);
    // A person's click: the web engine follows links to other programs only on a gesture. The link's place is
    // asked again before each try, since the page may still be laying itself out on a slow machine.
    const auto clickTheLink = [&] {
        QVariant centre;
        featured.page()->runJavaScript(u"(function(){if(document.readyState!=='complete')return [];"
                                       u"var r=document.getElementById('open-in-app').getBoundingClientRect();"
                                       u"return [r.left+r.width/2, r.top+r.height/2];})()"_s,
                                       [&centre](const QVariant &value) { centre = value; });
        if (!waitUntil([&centre] { return centre.isValid(); }, 5'000) || centre.toList().size() != 2)
            return false;
        const QVariantList xy = centre.toList();
        const QPoint at(qRound(xy.at(0).toDouble()), qRound(xy.at(1).toDouble()));
        QTest::mouseMove(surface, at);
        QTest::mouseClick(surface, Qt::LeftButton, {}, at);
        return waitUntil([&links] { return !links.isEmpty(); }, 3'000);
    };
    ASSERT_TRUE(waitUntil(clickTheLink, 30'000));
    EXPECT_EQ(links.first().first().toString(), u"klv://product/3420"_s);
}

TEST(SingleInstanceTest, ASecondLaunchHandsItsArgumentsToTheFirstAndEnds) {
    QTemporaryDir runtime;
    const QString socket = runtime.filePath(u"klv-app.socket"_s);
    ui::SingleInstance first(socket);
    ASSERT_TRUE(first.claim({}));
    QSignalSpy activations(&first, &ui::SingleInstance::activationRequested);

    ui::SingleInstance second(socket);
    EXPECT_FALSE(second.claim({u"klv://product/3420"_s}));
    ASSERT_TRUE(waitUntil([&activations] { return !activations.isEmpty(); }));
    EXPECT_EQ(activations.first().first().toStringList(), QStringList{u"klv://product/3420"_s});

    // Once the first has let go, the next launch is the instance.
    first.release();
    ui::SingleInstance third(socket);
    EXPECT_TRUE(third.claim({}));
}

} // namespace klv::test
