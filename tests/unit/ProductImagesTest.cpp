#include "library/ProductImages.h"
#include "library/WholeTextLink.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <memory>

namespace klv {

using namespace Qt::StringLiterals;
namespace {

// Each pixel tells where it came from, so a crop shows which rectangle it cut.
QImage coordinatePicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, x / 256 * 16 + y / 256));
    return picture;
}

QImage filled(QRgb colour) {
    QImage picture(120, 120, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

OutlineViewItem product(qint64 id, const QString &name, const QString &pictureUrl = {}) {
    OutlineViewItem record;
    record.product_id = id;
    record.product_name = name;
    record.product_image_url = pictureUrl;
    return record;
}

TEST(ProductImageCropTest, CutsTheFrameScaledToTheLargerSideAndClipsToThePicture) {
    struct Case {
        QSize size;
        QRect expected; // empty: no picture
    };
    const Case cases[] = {
        {{120, 120}, {24, 20, 50, 50}},
        {{240, 240}, {48, 40, 100, 100}},
        {{60, 60}, {12, 10, 25, 25}},
        // Fractional edges grow outwards to whole pixels.
        {{100, 100}, {20, 16, 42, 43}},
        {{240, 60}, {48, 40, 100, 20}},
        {{60, 600}, {}},
    };
    for (const Case &c : cases) {
        const QImage source = coordinatePicture(c.size.width(), c.size.height());
        const QImage cropped = ProductImages::cropProductImage(source);
        SCOPED_TRACE(testing::Message() << c.size.width() << "x" << c.size.height());
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(cropped.isNull());
            continue;
        }
        ASSERT_EQ(cropped.size(), c.expected.size());
        EXPECT_EQ(cropped.pixel(0, 0), source.pixel(c.expected.topLeft()));
        EXPECT_EQ(cropped.pixel(cropped.width() - 1, cropped.height() - 1), source.pixel(c.expected.bottomRight()));
    }
    EXPECT_TRUE(ProductImages::cropProductImage(QImage()).isNull());
}

TEST(WholeTextLinkTest, OnlyATextThatIsOneWebLinkFromEndToEnd) {
    for (const char *text : {"https://cdn.example.com/p/Glow.png", "http://127.0.0.1:8080/files/a%20b.png",
                             "HTTPS://Example.com/Pic.png?size=2&v=3", "https://example.com/a_(b).png"})
        EXPECT_EQ(wholeTextLink(QString::fromUtf8(text)), QUrl(QString::fromUtf8(text))) << text;

    for (const char *text :
         {"", " https://example.com/a.png", "https://example.com/a.png ", "https://example.com/a.png\n",
          "Picture: https://example.com/a.png", "https://example.com/a.png.", "https://example.com/a.png)",
          "<https://example.com/a.png>", "https://example.com/a.png https://example.com/b.png",
          "https://example.com/a b.png", "example.com/a.png", "https://", "ftp://example.com/a.png",
          "file:///etc/passwd", "https://example.com/%zz.png"})
        EXPECT_FALSE(wholeTextLink(QString::fromUtf8(text))) << text;
}

class ProductImagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(folder()));
        ASSERT_TRUE(QDir().mkpath(services->locations().logFolderURL));
        services->loadUserData();
        QObject::connect(&services->network(), &QNetworkAccessManager::finished, &receiver, [this] { ++requests; });
    }

    QString folder() const { return services->locations().productImageFolderURL; }
    QUrl fileUrl(const QString &name) const { return QUrl::fromLocalFile(folder() + name); }
    void store(const QString &fileName, const QImage &picture) {
        ASSERT_TRUE(picture.save(folder() + fileName, "PNG")) << fileName.toStdString();
    }
    std::optional<ProductImageMap> mapOnDisk() const {
        QFile file(services->locations().userDataFileURL);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return ProductImageMapArchive::decode(file.readAll());
    }
    QStringList logMessages() const {
        QFile file(services->locations().logFileURL);
        file.open(QIODevice::ReadOnly);
        QStringList messages;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
            messages << line.sliced(line.indexOf(u" +0000 : ") + 9);
        return messages;
    }
    // Waits until a wrongly sent request, if any, has come back.
    void settle() {
        EXPECT_TRUE(test::waitUntil([this] { return test::requestsInFlight(services->network()) == 0; }));
    }

    test::SandboxHome home;
    test::ScriptedAlerts alerts;
    std::unique_ptr<Services> services = std::make_unique<Services>(Configuration::fromEnvironment(), alerts);
    ProductImages images{*services};
    QObject receiver;
    int requests = 0;
};

TEST_F(ProductImagesTest, StoredPicturesAreFoundByNameAndSharedThroughTheMap) {
    store(u"Glow.png"_s, filled(qRgb(255, 0, 0)));
    store(u"Blur Composite.png"_s, filled(qRgb(0, 0, 255)));
    store(u"Glow Composite.png"_s, filled(qRgb(0, 255, 0)));

    // Products of the same name share one file.
    for (const qint64 id : {1, 2}) {
        const QImage picture = images.productImage(product(id, u"Glow"_s));
        ASSERT_EQ(picture.size(), QSize(50, 50));
        EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 0, 0));
    }
    // Composites all carry the number 0: the first one found gives every composite its picture.
    EXPECT_EQ(images.productImage(product(0, u"Blur Composite"_s)).pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(images.productImage(product(0, u"Glow Composite"_s)).pixel(0, 0), qRgb(0, 0, 255));

    const ProductImageMap expected{
        {0, fileUrl(u"Blur Composite.png"_s)}, {1, fileUrl(u"Glow.png"_s)}, {2, fileUrl(u"Glow.png"_s)}};
    EXPECT_EQ(services->productImageMap, expected);
    EXPECT_EQ(mapOnDisk(), expected);
}

TEST_F(ProductImagesTest, AnEntryOutlivesARenameUntilItsFileIsGone) {
    store(u"Old Name.png"_s, filled(qRgb(255, 0, 0)));
    store(u"New Name.png"_s, filled(qRgb(0, 255, 0)));
    services->productImageMap.insert(7, fileUrl(u"Old Name.png"_s));

    EXPECT_EQ(images.productImage(product(7, u"New Name"_s)).pixel(0, 0), qRgb(255, 0, 0));
    ASSERT_TRUE(QFile::remove(folder() + u"Old Name.png"));
    EXPECT_EQ(images.productImage(product(7, u"New Name"_s)).pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(mapOnDisk(), (ProductImageMap{{7, fileUrl(u"New Name.png"_s)}}));

    // A stored file that is no picture shows nothing rather than failing.
    QFile garbled(folder() + u"Garbled.png");
    ASSERT_TRUE(garbled.open(QIODevice::WriteOnly));
    garbled.write("<html>not found</html>");
    garbled.close();
    EXPECT_TRUE(images.productImage(product(8, u"Garbled"_s)).isNull());
    EXPECT_EQ(services->productImageMap.value(8), fileUrl(u"Garbled.png"_s));
}

TEST_F(ProductImagesTest, RegisteringAddsOnlyTheMissingEntries) {
    store(u"Alpha.png"_s, filled(qRgb(255, 0, 0)));
    store(u"Beta.png"_s, filled(qRgb(0, 255, 0)));
    services->productImageMap.insert(2, fileUrl(u"Old Beta.png"_s));
    const QList<OutlineViewItem> library{product(1, u"Alpha"_s), product(2, u"Beta"_s), product(3, u"Gamma"_s)};

    images.registerStoredProductImages(library);
    const ProductImageMap expected{{1, fileUrl(u"Alpha.png"_s)}, {2, fileUrl(u"Old Beta.png"_s)}};
    EXPECT_EQ(services->productImageMap, expected);
    EXPECT_EQ(mapOnDisk(), expected);

    // Nothing new: the file is left alone.
    ASSERT_TRUE(QFile::remove(services->locations().userDataFileURL));
    images.registerStoredProductImages(library);
    EXPECT_FALSE(QFile::exists(services->locations().userDataFileURL));
}

TEST_F(ProductImagesTest, NamesThatAreNotOneFileNameNeverBecomePaths) {
    // Files the unsafe names would match if they were used as given.
    store(u".png"_s, filled(qRgb(255, 0, 0)));
    store(u"..png"_s, filled(qRgb(255, 0, 0)));
    const QString names[] = {u""_s, u"."_s, u".."_s, u"a/b"_s, u"../Escape"_s, QString(u"a\0b"_s)};
    QList<OutlineViewItem> library;
    for (const QString &name : names)
        library << product(library.size() + 1, name, u"http://127.0.0.1:9/picture.png"_s);

    for (int round = 0; round < 2; ++round)
        for (const OutlineViewItem &record : library)
            EXPECT_TRUE(images.productImage(record).isNull());
    images.registerStoredProductImages(library);
    settle();

    EXPECT_EQ(requests, 0);
    EXPECT_TRUE(services->productImageMap.isEmpty());
    EXPECT_EQ(logMessages().filter(u"No product picture for"_s).size(), std::size(names));
    EXPECT_FALSE(QFile::exists(services->locations().productImageFolderURL + u"../Escape.png"));
}

TEST_F(ProductImagesTest, AnUnlistableFolderIsLoggedAndChangesNothing) {
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    EXPECT_TRUE(images.productImage(product(1, u"Alpha"_s)).isNull());
    images.registerStoredProductImages({product(1, u"Alpha"_s)});

    const QStringList messages = logMessages();
    ASSERT_EQ(messages.size(), 2) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(messages[0].startsWith(u"E_10 : The folder “"));
    EXPECT_TRUE(messages[1].startsWith(u"Get Error while try to get content of folder: The folder “"));
    EXPECT_EQ(mapOnDisk(), ProductImageMap());
}

} // namespace
} // namespace klv
