#include "core/ProductLink.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace klv {
namespace {

TEST(ProductLink, ReadsTheTwoFormsWithTheirProductNumber) {
    EXPECT_EQ(parseProductLink(QStringLiteral("klv://install/6103")).link,
              (ProductLink{ProductLink::Action::install, 6103}));
    EXPECT_EQ(parseProductLink(QStringLiteral("klv://product/42")).link,
              (ProductLink{ProductLink::Action::showProduct, 42}));
    // Browsers and desktops may change the case of scheme and host, or add a final slash.
    EXPECT_EQ(parseProductLink(QStringLiteral("KLV://Install/7/")).link,
              (ProductLink{ProductLink::Action::install, 7}));
    EXPECT_TRUE(parseProductLink(QStringLiteral("klv://install/6103")).refusal.isEmpty());
}

TEST(ProductLink, RefusesEverythingElseWithAReason) {
    const QStringList refused{
        QStringLiteral("https://install/6103"),
        QStringLiteral("klv://uninstall/6103"),
        QStringLiteral("klv://install/"),
        QStringLiteral("klv://install"),
        QStringLiteral("klv://install/abc"),
        QStringLiteral("klv://install/-5"),
        QStringLiteral("klv://install/0"),
        QStringLiteral("klv://install/6103/extra"),
        QStringLiteral("klv://install/61%2003"),
        QStringLiteral("klv://install/6103?then=rm"),
        QStringLiteral("klv://install/6103#x"),
        QStringLiteral("klv://user@install/6103"),
        QStringLiteral("klv://install:80/6103"),
        QStringLiteral("klv://install/99999999999999999999"),
        QStringLiteral("klv://install/+6103"),
        QStringLiteral("klv:install/6103"),
        QStringLiteral(""),
        QStringLiteral("klv://install/6103\n"),
    };
    for (const QString &text : refused) {
        const ProductLinkParse parsed = parseProductLink(text);
        EXPECT_FALSE(parsed.link) << text.toStdString();
        EXPECT_TRUE(parsed.refusal.startsWith(u"The link \"" + text + u"\" cannot be opened: "))
            << parsed.refusal.toStdString();
    }
    EXPECT_TRUE(parseProductLink(QStringLiteral("klv://update/1")).refusal.endsWith(u"(install or product)."));
}

} // namespace
} // namespace klv
