#include "core/ProductLink.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

TEST(ProductLink, ReadsTheTwoFormsWithTheirProductNumber) {
    EXPECT_EQ(parseProductLink(u"klv://install/6103"_s).link, (ProductLink{ProductLink::Action::install, 6103}));
    EXPECT_EQ(parseProductLink(u"klv://product/42"_s).link, (ProductLink{ProductLink::Action::showProduct, 42}));
    // Browsers and desktops may change the case of scheme and host, or add a final slash.
    EXPECT_EQ(parseProductLink(u"KLV://Install/7/"_s).link, (ProductLink{ProductLink::Action::install, 7}));
    EXPECT_TRUE(parseProductLink(u"klv://install/6103"_s).refusal.isEmpty());
}

TEST(ProductLink, RefusesEverythingElseWithAReason) {
    const QStringList refused{
        u"https://install/6103"_s,
        u"klv://uninstall/6103"_s,
        u"klv://install/"_s,
        u"klv://install"_s,
        u"klv://install/abc"_s,
        u"klv://install/-5"_s,
        u"klv://install/0"_s,
        u"klv://install/6103/extra"_s,
        u"klv://install/61%2003"_s,
        u"klv://install/6103?then=rm"_s,
        u"klv://install/6103#x"_s,
        u"klv://user@install/6103"_s,
        u"klv://install:80/6103"_s,
        u"klv://install/99999999999999999999"_s,
        u"klv://install/+6103"_s,
        u"klv:install/6103"_s,
        u""_s,
        u"klv://install/6103\n"_s,
    };
    for (const QString &text : refused) {
        const ProductLinkParse parsed = parseProductLink(text);
        EXPECT_FALSE(parsed.link) << text.toStdString();
        EXPECT_TRUE(parsed.refusal.startsWith(u"The link \"" + text + u"\" cannot be opened: "))
            << parsed.refusal.toStdString();
    }
    EXPECT_TRUE(parseProductLink(u"klv://update/1"_s).refusal.endsWith(u"(install or product)."));
}

} // namespace
} // namespace klv
