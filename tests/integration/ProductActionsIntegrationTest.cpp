#include "library/ProductActions.h"

#include "library/ProductCache.h"
#include "library/ProductLibrary.h"
#include "store/DesktopServices.h"
#include "store/StoreClient.h"

#include "InstallerFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

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
        context->setDesktopServices(desktop);
        const Locations &places = context->locations();
        // What an uninstall must leave alone.
        keep = {places.fontsFolderURL + u"Glow.ttf"_s,
                places.pluginsFolderURL + u"GlowFx.app/Contents/x"_s,
                places.resolveTemplatesFolderURL + u"KLV - Glow.drfx"_s,
                places.compositeFolderURL + u"/Dust/a"_s,
                places.customLUTsFolderURL + u"KLV - Dust LUTs/a.cube"_s,
                places.moviesFolderURL + u"home.mov"_s};
        for (const QString &path : std::as_const(keep))
            create(path);
        writeProducts({QJsonObject{{u"product_id"_s, 7}, {u"customLuts"_s, QJsonArray{u"{store}/glow.zip"_s}}},
                       QJsonObject{{u"product_id"_s, 20}, {u"customLuts"_s, QJsonArray{u"{store}/bundle.zip"_s}}}});
    }

    static void create(const QString &path) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void setLibrary(const QList<OutlineViewItem> &products) {
        ASSERT_FALSE(ProductCache::save(context->locations().productCacheFileURL, products));
        ASSERT_TRUE(context->library().loadProductCache());
    }
    // Uninstalls and waits for the end, store request included.
    void uninstall(const OutlineViewItem &item) {
        ProductActions actions(*context);
        bool finished = false;
        QObject::connect(&actions, &ProductActions::uninstallFinished, &actions,
                         [&](const OutlineViewItem &done) { finished = done == item; });
        actions.uninstall(item);
        EXPECT_TRUE(waitUntil([&] { return finished; }));
    }
    bool installed(const QString &name) const {
        for (const OutlineViewItem &item : context->library().libraryProducts()) {
            if (item.product_name == name)
                return item.isInstalled;
        }
        return false;
    }
    QStringList lutRequests() const {
        QStringList products;
        for (const QJsonObject &request : store->requestLog()) {
            if (request[u"rt"_s] == u"appleCustomLut"_s)
                products.append(request[u"params"_s][0].toString());
        }
        return products;
    }
    QStringList keptMissing() const {
        QStringList missing;
        for (const QString &path : keep) {
            if (!QFileInfo::exists(path))
                missing.append(path);
        }
        return missing;
    }
    QString templates(const QString &folder) const { return context->locations().motionTitlesFolderURL + folder; }
    QString looks(const QString &name) const {
        return context->locations().customLUTsFolderURL + u"KLV - "_s + name + u" LUTs"_s;
    }

    RecordingDesktop desktop;
    QStringList keep;
};

TEST_F(ProductActionsIntegrationTest, ProductLosesItsTemplatesUnderBothNamesAndItsCustomLooks) {
    const OutlineViewItem glow = record(7, u"Glow"_s, u"Titles"_s);
    setLibrary({glow});
    create(templates(u"KLV - Glow/Glow.moti"_s));
    create(context->locations().motionEffectsFolderURL + u"Vantory - Glow/Glow.moef"_s);
    create(looks(u"Glow"_s) + u"/Warm.cube"_s);

    uninstall(glow);

    EXPECT_FALSE(QFileInfo::exists(templates(u"KLV - Glow"_s)));
    EXPECT_FALSE(QFileInfo::exists(context->locations().motionEffectsFolderURL + u"Vantory - Glow"_s));
    EXPECT_FALSE(QFileInfo::exists(looks(u"Glow"_s)));
    EXPECT_EQ(lutRequests(), QStringList({u"7"_s}));
    EXPECT_FALSE(installed(u"Glow"_s));
    EXPECT_EQ(keptMissing(), QStringList());
}

TEST_F(ProductActionsIntegrationTest, GroupLosesMemberTemplatesCompositesAndTheGroupsLooks) {
    OutlineViewItem bundle = record(20, u"Bundle"_s, u"Multiple"_s);
    bundle.children = {u"Vantory - Glow"_s, u"Vantory - Haze"_s, u"Neon"_s};
    setLibrary({bundle, record(7, u"Glow"_s, u"Titles"_s, 20), record(8, u"Haze"_s, u"Titles"_s, 20),
                record(0, u"Neon"_s, u"Composite"_s, 20)});
    create(templates(u"KLV - Glow/Glow.moti"_s));
    create(templates(u"Vantory - Haze/Haze.moti"_s));
    create(context->locations().compositeFolderURL + u"/Neon/clip.mov"_s);
    create(looks(u"Bundle"_s) + u"/Warm.cube"_s);

    uninstall(bundle);

    EXPECT_EQ(tree(context->locations().motionTitlesFolderURL), QStringList());
    EXPECT_FALSE(QFileInfo::exists(context->locations().compositeFolderURL + u"/Neon"_s));
    EXPECT_FALSE(QFileInfo::exists(looks(u"Bundle"_s)));
    // One request covers every member: the looks belong to the group.
    EXPECT_EQ(lutRequests(), QStringList({u"20"_s}));
    // Members named with the maker's prefix are found, so their rows change at once.
    EXPECT_FALSE(installed(u"Glow"_s));
    EXPECT_FALSE(installed(u"Haze"_s));
    EXPECT_FALSE(installed(u"Neon"_s));
    EXPECT_FALSE(installed(u"Bundle"_s));
    EXPECT_EQ(keptMissing(), QStringList());
}

TEST_F(ProductActionsIntegrationTest, CompositeIsDeletedWithoutAskingTheStoreAndCanBeRevealed) {
    const OutlineViewItem neon = record(0, u"Neon"_s, u"Composite"_s);
    setLibrary({neon});
    create(context->locations().compositeFolderURL + u"/Neon/clip.mov"_s);
    ProductActions actions(*context);
    actions.revealComposite(neon);
    EXPECT_EQ(desktop.revealed, QStringList({context->locations().compositeFolderURL + u"/Neon"_s}));

    uninstall(neon);

    EXPECT_FALSE(QFileInfo::exists(context->locations().compositeFolderURL + u"/Neon"_s));
    EXPECT_FALSE(installed(u"Neon"_s));
    EXPECT_EQ(lutRequests(), QStringList());
    EXPECT_EQ(keptMissing(), QStringList());
}

TEST_F(ProductActionsIntegrationTest, UnsafeNamesRemoveAndRevealNothing) {
    OutlineViewItem bundle = record(20, u"../Bundle"_s, u"Multiple"_s);
    bundle.children = {u".."_s, u"Vantory - ../Glow"_s, u"../KLV Composite"_s, u"Vantory - Haze"_s};
    const OutlineViewItem composite = record(0, u".."_s, u"Composite"_s);
    const OutlineViewItem product = record(7, u"/"_s, u"Titles"_s);
    setLibrary({bundle, composite, product});
    create(templates(u"KLV - Haze/Haze.moti"_s));

    uninstall(composite);
    uninstall(product);
    uninstall(bundle);
    ProductActions(*context).revealComposite(composite);

    EXPECT_EQ(keptMissing(), QStringList());
    // The safe member goes; the group's looks are not asked for under an unsafe name.
    EXPECT_FALSE(QFileInfo::exists(templates(u"KLV - Haze"_s)));
    EXPECT_EQ(lutRequests(), QStringList());
    EXPECT_TRUE(desktop.revealed.isEmpty());
    EXPECT_TRUE(logText().contains(u"The name “..” cannot be used as a file name: it names a folder itself. "
                                   u"Nothing is removed for it."_s));
}

TEST_F(ProductActionsIntegrationTest, UnusableLookAnswersAreLoggedAndRemoveNothing) {
    const OutlineViewItem glow = record(7, u"Glow"_s, u"Titles"_s);
    setLibrary({glow});
    create(looks(u"Glow"_s) + u"/Warm.cube"_s);
    const std::pair<QJsonValue, QString> answers[] = {
        {QJsonObject{{u"status"_s, false}, {u"msg"_s, u"No looks today"_s}}, u"No looks today"_s},
        {QJsonObject{{u"status"_s, u"true"_s}}, u"Failed to get apple custom LUTs for product with ID: 7"_s},
        {QJsonObject{{u"status"_s, true}, {u"data"_s, QJsonArray{QJsonObject{{u"url"_s, u"x"_s}}, 3}}},
         u"Wrong data type for product with ID: 7"_s},
        {u"[1, 2]"_s, u"Failed to convert the data object result from "_s +
                          context->store().endpointAddress(StoreEndpoint::product)},
    };
    for (const auto &[answer, logLine] : answers) {
        writeProducts({QJsonObject{{u"product_id"_s, 7}, {u"answers"_s, QJsonObject{{u"appleCustomLut"_s, answer}}}}});
        uninstall(glow);
        EXPECT_TRUE(logText().contains(logLine)) << logLine.toStdString();
    }
    // An entry without an address removes nothing either.
    writeProducts({QJsonObject{{u"product_id"_s, 7}, {u"customLuts"_s, QJsonArray{QJsonObject{{u"name"_s, 1}}}}}});
    uninstall(glow);
    EXPECT_TRUE(QFileInfo::exists(looks(u"Glow"_s) + u"/Warm.cube"_s));

    store->stop();
    uninstall(glow);
    EXPECT_TRUE(logText().contains(u"Error during get product branch info "_s));
}

TEST_F(ProductActionsIntegrationTest, LearnMoreAndTheConfirmations) {
    OutlineViewItem first = record(7, u"Glow"_s, u"Titles"_s);
    first.post_name = u"glow-titles"_s;
    OutlineViewItem second = first;
    second.post_name = u"other"_s;
    setLibrary({first, second, record(8, u"Haze"_s, u"Titles"_s)});
    ProductActions actions(*context);

    EXPECT_EQ(actions.learnMoreUrl(second), QUrl(store->url() + u"/product/glow-titles"_s));
    actions.learnMore(record(8, u"Haze"_s, u"Titles"_s));
    EXPECT_EQ(desktop.opened, QList<QUrl>({QUrl(store->url() + u"/product/"_s)}));

    alerts.answers = {0, 1, 0, 1};
    EXPECT_TRUE(actions.confirmUninstall());
    EXPECT_FALSE(actions.confirmUninstall());
    EXPECT_TRUE(actions.confirmUpdate());
    EXPECT_FALSE(actions.confirmUpdate());
    ASSERT_EQ(alerts.shown.size(), 4);
    EXPECT_EQ(alerts.shown[0].title, u"Are you sure you want to uninstall?"_s);
    EXPECT_EQ(alerts.shown[0].message,
              u"We recommend finishing any projects using the plugin prior to uninstalling."_s);
    EXPECT_EQ(alerts.shown[0].buttons, QStringList({u"Uninstall"_s, u"Cancel"_s}));
    EXPECT_EQ(alerts.shown[2].title, u"Are you sure you want to update?"_s);
    EXPECT_EQ(alerts.shown[2].message, u"We recommend finishing any projects using the plugin prior to updating."_s);
    EXPECT_EQ(alerts.shown[2].buttons, QStringList({u"Update"_s, u"Cancel"_s}));
}

} // namespace
} // namespace klv
