#include "library/ProductImages.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "storeservice/StoreProcess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>

#include <functional>
#include <memory>

using namespace klv::test;

namespace klv {

using namespace Qt::StringLiterals;

namespace {

struct Ready {
    qint64 productId;
    QString productName;
    QImage cropped;
};

OutlineViewItem product(qint64 id, const QString &name, const QString &pictureUrl) {
    OutlineViewItem record;
    record.product_id = id;
    record.product_name = name;
    record.product_image_url = pictureUrl;
    return record;
}

// A store whose files/pictures/ hold a marked 240 by 240 PNG, a BMP, an empty file and a text.
class PictureStore {
public:
    PictureStore() {
        const QString pictures = m_directory.filePath(u"files/pictures"_s);
        writeFile(m_directory.filePath(u"store.json"_s), R"({"accounts": []})");
        QDir().mkpath(pictures);
        QImage marked(240, 240, QImage::Format_RGB32);
        marked.fill(Qt::white);
        // The corners of the crop (48, 40, 100, 100) and one pixel just outside it.
        marked.setPixel(48, 40, qRgb(255, 0, 0));
        marked.setPixel(147, 139, qRgb(0, 0, 255));
        marked.setPixel(47, 40, qRgb(0, 255, 0));
        marked.save(pictures + u"/marked.png", "PNG");
        QImage drawing(120, 120, QImage::Format_RGB32);
        drawing.fill(qRgb(0, 128, 0));
        drawing.save(pictures + u"/drawing.bmp", "BMP");
        writeFile(pictures + u"/empty.png", {});
        writeFile(pictures + u"/notes.txt", "<html><body>Not a picture</body></html>");
    }

    bool start() { return m_store.start(); }
    QString errorString() const { return m_store.errorString(); }
    QString url(const QString &fileName) const { return m_store.url() + u"/files/pictures/" + fileName; }
    QByteArray bytes(const QString &fileName) const {
        return readFile(m_directory.filePath(u"files/pictures/"_s + fileName));
    }

private:
    QTemporaryDir m_directory;
    storeservice::StoreProcess m_store{m_directory.path()};
};

class ProductImagesIntegrationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_store = std::make_unique<PictureStore>();
        ASSERT_TRUE(s_store->start()) << s_store->errorString().toStdString();
    }
    static void TearDownTestSuite() { s_store.reset(); }

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(folder()));
        ASSERT_TRUE(QDir().mkpath(services->locations().logFolderURL));
        services->loadUserData();
        QObject::connect(&services->network(), &QNetworkAccessManager::finished, &receiver, [this] { ++requests; });
        QObject::connect(&images, &ProductImages::productImageReady, &receiver,
                         [this](qint64 id, const QString &name, const QImage &cropped) {
                             ready.append({id, name, cropped});
                         });
    }

    static const PictureStore &pictureStore() { return *s_store; }
    QString folder() const { return services->locations().productImageFolderURL; }
    QUrl fileUrl(const QString &name) const { return QUrl::fromLocalFile(folder() + name); }
    std::optional<ProductImageMap> mapOnDisk() const {
        return ProductImageMapArchive::decode(readFile(services->locations().userDataFileURL));
    }
    QStringList logLines() const {
        return QString::fromUtf8(readFile(services->locations().logFileURL)).split(u'\n', Qt::SkipEmptyParts);
    }
    // Waits until a wrongly sent request, if any, has come back.
    void settle() {
        EXPECT_TRUE(waitUntil([this] { return requestsInFlight(services->network()) == 0; }));
    }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    std::unique_ptr<Services> services = std::make_unique<Services>(Configuration::fromEnvironment(), alerts);
    ProductImages images{*services};
    QObject receiver;
    int requests = 0;
    QList<Ready> ready;

private:
    static inline std::unique_ptr<PictureStore> s_store;
};

TEST_F(ProductImagesIntegrationTest, OneDownloadServesEveryRecordWaitingForThatPicture) {
    const QString url = pictureStore().url(u"marked.png"_s);
    EXPECT_TRUE(images.productImage(product(1, u"Glow Title"_s, url)).isNull());
    EXPECT_TRUE(images.productImage(product(1, u"Glow Title"_s, url)).isNull());
    EXPECT_TRUE(images.productImage(product(2, u"Glow Title"_s, url)).isNull());
    ASSERT_TRUE(waitUntil([&] { return ready.size() == 2; }));
    EXPECT_EQ(requests, 1);

    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(ready[i].productId, i + 1);
        EXPECT_EQ(ready[i].productName, u"Glow Title");
        const QImage &cropped = ready[i].cropped;
        ASSERT_EQ(cropped.size(), QSize(100, 100));
        EXPECT_EQ(cropped.pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(cropped.pixel(99, 99), qRgb(0, 0, 255));
    }
    EXPECT_EQ(readFile(folder() + u"Glow Title.png"), pictureStore().bytes(u"marked.png"_s));
    const ProductImageMap expected{{1, fileUrl(u"Glow Title.png"_s)}, {2, fileUrl(u"Glow Title.png"_s)}};
    EXPECT_EQ(services->productImageMap, expected);
    EXPECT_EQ(mapOnDisk(), expected);

    EXPECT_EQ(images.productImage(product(1, u"Glow Title"_s, url)).pixel(0, 0), qRgb(255, 0, 0));
    // A lost map file: the picture is found again by its name.
    ASSERT_TRUE(QFile::remove(services->locations().userDataFileURL));
    services->loadUserData();
    EXPECT_EQ(images.productImage(product(2, u"Glow Title"_s, url)).pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(mapOnDisk(), (ProductImageMap{{2, fileUrl(u"Glow Title.png"_s)}}));
    settle();
    EXPECT_EQ(requests, 1);
}

TEST_F(ProductImagesIntegrationTest, TheBytesAreStoredAsDownloadedWhateverTheirFormat) {
    EXPECT_TRUE(images.productImage(product(3, u"Drawing"_s, pictureStore().url(u"drawing.bmp"_s))).isNull());
    ASSERT_TRUE(waitUntil([&] { return !ready.isEmpty(); }));
    EXPECT_EQ(ready[0].cropped.size(), QSize(50, 50));
    EXPECT_EQ(readFile(folder() + u"Drawing.png"), pictureStore().bytes(u"drawing.bmp"_s));
    EXPECT_EQ(images.productImage(product(3, u"Drawing"_s, {})).pixel(0, 0), qRgb(0, 128, 0));

    // A body that is no picture is kept as well; the record gets no picture, and asking again sends nothing.
    EXPECT_TRUE(images.productImage(product(4, u"Notes"_s, pictureStore().url(u"notes.txt"_s))).isNull());
    ASSERT_TRUE(waitUntil([&] { return ready.size() == 2; }));
    EXPECT_EQ(ready[1].productId, 4);
    EXPECT_TRUE(ready[1].cropped.isNull());
    EXPECT_EQ(readFile(folder() + u"Notes.png"), pictureStore().bytes(u"notes.txt"_s));
    EXPECT_EQ(mapOnDisk()->value(4), fileUrl(u"Notes.png"_s));
    EXPECT_TRUE(images.productImage(product(4, u"Notes"_s, pictureStore().url(u"notes.txt"_s))).isNull());
    settle();
    EXPECT_EQ(requests, 2);
}

TEST_F(ProductImagesIntegrationTest, AFailedDownloadLeavesNothingAndIsTriedAgain) {
    const QString addresses[] = {pictureStore().url(u"missing.png"_s), pictureStore().url(u"empty.png"_s),
                                 u"http://127.0.0.1:1/refused.png"_s};
    for (const QString &address : addresses) {
        SCOPED_TRACE(address.toStdString());
        const int before = requests;
        for (int attempt = 1; attempt <= 2; ++attempt) {
            EXPECT_TRUE(images.productImage(product(5, u"Failing"_s, address)).isNull());
            ASSERT_TRUE(waitUntil([&] { return requests == before + attempt; }));
        }
        EXPECT_FALSE(QFile::exists(folder() + u"Failing.png"));
    }

    // The folder goes away while the picture is on its way.
    const int before = requests;
    EXPECT_TRUE(images.productImage(product(6, u"Unwritable"_s, pictureStore().url(u"marked.png"_s))).isNull());
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    ASSERT_TRUE(waitUntil([&] { return requests == before + 1; }));
    EXPECT_EQ(logLines().filter(u"E_04 : Failed to write file to USER_IMAGE_FOLDERURL _ "_s).size(), 1);

    EXPECT_TRUE(ready.isEmpty());
    EXPECT_TRUE(services->productImageMap.isEmpty());
    EXPECT_EQ(mapOnDisk(), ProductImageMap());
}

TEST_F(ProductImagesIntegrationTest, TextAroundTheLinkMeansNoRequestEver) {
    const QString url = pictureStore().url(u"marked.png"_s);
    const QString addresses[] = {u"Picture: "_s + url, url + u' ',        u' ' + url,
                                 url + u'.',           u'<' + url + u'>', url + u' ' + url};
    qint64 id = 10;
    for (const QString &address : addresses) {
        ++id;
        EXPECT_TRUE(images.productImage(product(id, u"Wrapped %1"_s.arg(id), address)).isNull());
    }
    settle();

    EXPECT_EQ(requests, 0);
    EXPECT_TRUE(ready.isEmpty());
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList());
}

} // namespace
} // namespace klv
