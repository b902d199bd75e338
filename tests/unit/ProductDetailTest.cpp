#include "marketing/ProductDetail.h"

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

TEST(ProductDetailTest, LongDescriptionReplacesTheTwoEntitiesAndKeepsEveryOtherOne) {
    EXPECT_EQ(ProductDetail::cleanedLongDescription(u"It&#8217;s&nbsp;new &amp; &#8217;&#8217; &nbsp&nbsp;"_s),
              u"It's*new &amp; '' &nbsp*"_s);
    // The apostrophe comes first: an entity that only appears once the other is replaced is not made up.
    EXPECT_EQ(ProductDetail::cleanedLongDescription(u"&&#8217;nbsp;"_s), u"&'nbsp;"_s);
    EXPECT_EQ(ProductDetail::cleanedLongDescription(QString()), QString());
}

TEST(ProductDetailTest, VideoAndCartAddressesCarryTheProductsNumbers) {
    const std::optional<QUrl> video = ProductDetail::videoAddress(u"https://player.example/video/"_s, 76979871);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->toString(),
              u"https://player.example/video/76979871?autoplay=1&loop=1&title=0&byline=0&portrait=0&muted=1"_s);
    // A player address that is no web page leaves the video empty rather than loading something else.
    EXPECT_FALSE(ProductDetail::videoAddress(QString(), 5));
    EXPECT_FALSE(ProductDetail::videoAddress(u"player/"_s, 5));
    EXPECT_FALSE(ProductDetail::videoAddress(u"https://bad host/"_s, 5));
    EXPECT_FALSE(ProductDetail::videoAddress(u"file:///tmp/"_s, 5));

    EXPECT_EQ(ProductDetail::cartAddress(u"http://127.0.0.1:8765"_s, 1234).toString(),
              u"http://127.0.0.1:8765/cart/?add-to-cart=1234"_s);

    OnSaleProductInfo product;
    product.product_id = 42;
    product.product_name = u"Story Frames"_s;
    product.product_shortDesc = u"Frames"_s;
    product.product_longDesc = u"Don&#8217;t"_s;
    product.product_vimeoID = 7;
    product.product_image = u" http://127.0.0.1/picture.png"_s;
    Configuration configuration;
    configuration.storeUrl = u"https://store.example"_s;
    configuration.videoPlayerUrl = u"https://player.example/video/"_s;
    const ProductDetail detail = ProductDetail::describe(product, configuration);
    EXPECT_EQ(detail.name, u"Story Frames"_s);
    EXPECT_EQ(detail.shortDescription, u"Frames"_s);
    EXPECT_EQ(detail.longDescription, u"Don't"_s);
    EXPECT_EQ(detail.cartUrl.query(), u"add-to-cart=42"_s);
    ASSERT_TRUE(detail.videoUrl);
    EXPECT_TRUE(detail.videoUrl->path().endsWith(u"/7"_s));
    // Text around a picture address means there is no picture to fetch.
    EXPECT_FALSE(detail.pictureUrl);
}

} // namespace
} // namespace klv
