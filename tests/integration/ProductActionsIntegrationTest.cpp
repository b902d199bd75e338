#include "library/ProductActions.h"

#include "library/ProductCache.h"
#include "library/ProductLibrary.h"
#include "store/DesktopServices.h"

#include "InstallerFixture.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

namespace klv {
namespace {

using namespace Qt::StringLiterals;
using test::waitUntil;

class RecordingDesktop final : public DesktopServices {
public:
    void openUrl(const QUrl &url) override { opened.append(url); }
    void revealFolder(const QString &path) override { revealed.append(path); }
    void copyText(const QString &) override {}

    QList<QUrl> opened;
    QStringList revealed;
};

OutlineViewItem record(qint64 id, const QString &name, const QString &location, qint64 parentId = 0) {
    OutlineViewItem item;
    item.product_id = id;
    item.product_name = name;
    item.product_location = location;
    item.isInstalled = true;
    item.parentID = parentId;
    return item;
}

class ProductActionsIntegrationTest : public test::InstallerFixture {
protected:
    void SetUp() override {
        InstallerFixture::SetUp();
        if (HasFatalFailure())
            return;
        context->services().setDesktopServices(desktop);
        // What no uninstall here may touch.
        keep = {places().fontsFolderURL + u"Glow.ttf"_s,
                places().pluginsFolderURL + u"GlowFx.app/x"_s,
                places().resolveTemplatesFolderURL + u"KLV - Other.drfx"_s,
                places().compositeFolderURL + u"/Dust/a"_s,
                looks(u"Dust"_s) + u"/a.cube"_s,
                places().moviesFolderURL + u"home.mov"_s};
        for (const QString &path : std::as_const(keep))
            ASSERT_TRUE(test::writeFile(path, {}));
        writeCatalog({QJsonObject{{u"product_id"_s, 7}, {u"customLuts"_s, QJsonArray{u"{store}/glow.zip"_s}}},
                      QJsonObject{{u"product_id"_s, 20}, {u"customLuts"_s, QJsonArray{u"{store}/bundle.zip"_s}}}});
    }

    const Locations &places() const { return context->services().locations(); }
    QString looks(const QString &name) const { return places().customLUTsFolderURL + u"KLV - "_s + name + u" LUTs"_s; }
    void setLibrary(const QList<OutlineViewItem> &products) {
        QDir().mkpath(places().sharedContainerURL);
        ASSERT_FALSE(ProductCache::save(places().productCacheFileURL, products));
        ASSERT_TRUE(context->library().loadProductCache());
    }
    // Waits for the end, the store's custom looks answer included.
    void uninstall(const OutlineViewItem &item) {
        ProductActions actions(context->services(), context->library());
        bool finished = false;
        QObject::connect(&actions, &ProductActions::uninstallFinished, &actions,
                         [&](const OutlineViewItem &done) { finished = done == item; });
        actions.uninstall(item);
        EXPECT_TRUE(waitUntil([&] { return finished; }));
    }
    QStringList installedProducts() const {
        QStringList names;
        for (const OutlineViewItem &item : context->library().libraryProducts()) {
            if (item.isInstalled)
                names.append(item.product_name);
        }
        return names;
    }
    QStringList lutRequests() const {
        QStringList products;
        for (const QJsonObject &request : store->requestLog()) {
            if (request[u"rt"_s] == u"appleCustomLut"_s)
                products.append(request[u"params"_s][0].toString());
        }
        return products;
    }
    void expectKeptItemsStay() const {
        for (const QString &path : keep)
            EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    }

    RecordingDesktop desktop;
    QStringList keep;
};

TEST_F(ProductActionsIntegrationTest, ProductAndCompositeLoseOnlyTheirOwnItems) {
    const OutlineViewItem glow = record(7, u"Glow"_s, u"Titles"_s);
    const OutlineViewItem neon = record(0, u"Neon"_s, u"Composite"_s);
    setLibrary({glow, neon});
    ASSERT_TRUE(test::writeFile(places().motionTitlesFolderURL + u"KLV - Glow/Glow.moti"_s, {}));
    ASSERT_TRUE(test::writeFile(places().motionEffectsFolderURL + u"Vantory - Glow/Glow.moef"_s, {}));
    ASSERT_TRUE(test::writeFile(looks(u"Glow"_s) + u"/Warm.cube"_s, {}));
    ASSERT_TRUE(test::writeFile(places().resolveTemplatesFolderURL + u"KLV - Glow.drfx"_s, {}));
    ASSERT_TRUE(test::writeFile(places().compositeFolderURL + u"/Neon/clip.mov"_s, {}));

    uninstall(glow);
    uninstall(neon);

    EXPECT_FALSE(QFileInfo::exists(places().resolveTemplatesFolderURL + u"KLV - Glow.drfx"_s));
    EXPECT_EQ(tree(places().motionTemplatesFolderURL), QStringList({u"Effects.localized"_s, u"Titles.localized"_s}));
    EXPECT_FALSE(QFileInfo::exists(looks(u"Glow"_s)));
    EXPECT_FALSE(QFileInfo::exists(places().compositeFolderURL + u"/Neon"_s));
    // Only the product asks the store for custom looks.
    EXPECT_EQ(lutRequests(), QStringList({u"7"_s}));
    EXPECT_EQ(installedProducts(), QStringList());
    expectKeptItemsStay();
}

TEST_F(ProductActionsIntegrationTest, GroupLosesItsMembersAndItsOwnCustomLooksInOneRequest) {
    OutlineViewItem bundle = record(20, u"Bundle"_s, u"Multiple"_s);
    bundle.children = {u"Vantory - Glow"_s, u"Vantory - Haze"_s, u"Neon"_s};
    setLibrary({bundle, record(7, u"Glow"_s, u"Titles"_s, 20), record(8, u"Haze"_s, u"Titles"_s, 20),
                record(0, u"Neon"_s, u"Composite"_s, 20)});
    ASSERT_TRUE(test::writeFile(places().motionTitlesFolderURL + u"KLV - Glow/Glow.moti"_s, {}));
    ASSERT_TRUE(test::writeFile(places().motionTitlesFolderURL + u"Vantory - Haze/Haze.moti"_s, {}));
    ASSERT_TRUE(test::writeFile(places().compositeFolderURL + u"/Neon/clip.mov"_s, {}));
    ASSERT_TRUE(test::writeFile(looks(u"Bundle"_s) + u"/Warm.cube"_s, {}));

    uninstall(bundle);

    EXPECT_EQ(tree(places().motionTitlesFolderURL), QStringList());
    EXPECT_FALSE(QFileInfo::exists(places().compositeFolderURL + u"/Neon"_s));
    EXPECT_FALSE(QFileInfo::exists(looks(u"Bundle"_s)));
    EXPECT_EQ(lutRequests(), QStringList({u"20"_s}));
    // Members named with the maker's prefix are found, so their rows change at once.
    EXPECT_EQ(installedProducts(), QStringList());
    expectKeptItemsStay();
}

TEST_F(ProductActionsIntegrationTest, UnsafeNamesRemoveAndRevealNothing) {
    OutlineViewItem bundle = record(20, u"../Bundle"_s, u"Multiple"_s);
    bundle.children = {u".."_s, u"Vantory - ../Glow"_s, u"../KLV Composite"_s, u"Vantory - Haze"_s};
    const OutlineViewItem composite = record(0, u".."_s, u"Composite"_s);
    setLibrary({bundle, composite, record(7, u"/"_s, u"Titles"_s)});
    ASSERT_TRUE(test::writeFile(places().motionTitlesFolderURL + u"KLV - Haze/Haze.moti"_s, {}));

    uninstall(composite);
    uninstall(record(7, u"/"_s, u"Titles"_s));
    uninstall(bundle);
    ProductActions(context->services(), context->library()).revealComposite(composite);

    expectKeptItemsStay();
    // The safe member goes; the group's looks are not asked for under an unsafe name.
    EXPECT_EQ(tree(places().motionTitlesFolderURL), QStringList());
    EXPECT_EQ(lutRequests(), QStringList());
    EXPECT_TRUE(desktop.revealed.isEmpty());
    EXPECT_TRUE(logText().contains(u"The name “..” cannot be used as a file name"_s));
}

TEST_F(ProductActionsIntegrationTest, LooksStayWhenTheStoreGivesNoUsableAnswer) {
    const OutlineViewItem glow = record(7, u"Glow"_s, u"Titles"_s);
    setLibrary({glow});
    ASSERT_TRUE(test::writeFile(looks(u"Glow"_s) + u"/Warm.cube"_s, {}));
    const std::pair<QJsonValue, QString> answers[] = {
        {QJsonObject{{u"status"_s, u"true"_s}}, u"Failed to get apple custom LUTs for product with ID: 7"_s},
        {QJsonObject{{u"status"_s, true}, {u"data"_s, QJsonArray{QJsonObject{{u"url"_s, u"x"_s}}, 3}}},
         u"Wrong data type for product with ID: 7"_s},
        {QJsonObject{{u"status"_s, true}, {u"data"_s, QJsonArray{QJsonObject{{u"name"_s, u"x"_s}}}}}, {}},
    };
    for (const auto &[answer, logLine] : answers) {
        writeCatalog({QJsonObject{{u"product_id"_s, 7}, {u"answers"_s, QJsonObject{{u"appleCustomLut"_s, answer}}}}});
        uninstall(glow);
        EXPECT_TRUE(logText().contains(logLine)) << logLine.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(looks(u"Glow"_s) + u"/Warm.cube"_s));
}

TEST_F(ProductActionsIntegrationTest, LearnMoreOpensTheFirstRecordsPageAndConfirmationsCanBeCancelled) {
    OutlineViewItem first = record(7, u"Glow"_s, u"Titles"_s);
    first.post_name = u"glow-titles"_s;
    OutlineViewItem second = first;
    second.post_name = u"other"_s;
    setLibrary({first, second});
    ProductActions actions(context->services(), context->library());

    actions.learnMore(second);
    actions.learnMore(record(8, u"Haze"_s, u"Titles"_s));
    EXPECT_EQ(desktop.opened,
              QList<QUrl>({QUrl(store->url() + u"/product/glow-titles"_s), QUrl(store->url() + u"/product/"_s)}));

    alerts.answers = {0, 1, 0, 1};
    EXPECT_TRUE(actions.confirmUninstall());
    EXPECT_FALSE(actions.confirmUninstall());
    EXPECT_TRUE(actions.confirmUpdate());
    EXPECT_FALSE(actions.confirmUpdate());
    ASSERT_EQ(alerts.shown.size(), 4);
    EXPECT_EQ(alerts.shown[1].buttons, QStringList({u"Uninstall"_s, u"Cancel"_s}));
    EXPECT_EQ(alerts.shown[3].buttons, QStringList({u"Update"_s, u"Cancel"_s}));
}

} // namespace
} // namespace klv
