#include "style/Theme.h"

#include <QDir>
#include <QSvgRenderer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using klv::ui::NamedColor;

// Text must stay readable on every background it is drawn on.
TEST(ThemeTest, TextContrastsWithTheBackgrounds) {
    const auto lightness = [](NamedColor name) {
        return klv::ui::theme::color(name).lightness();
    };
    for (const auto background :
         {NamedColor::background, NamedColor::backgroundSecondary, NamedColor::accountSettingSectionBG}) {
        EXPECT_GT(lightness(NamedColor::textPrimary) - lightness(background), 150);
        EXPECT_GT(lightness(NamedColor::textSecondary) - lightness(background), 80);
    }
}

TEST(ThemeTest, EveryIconIsAValidDrawing) {
    QDir icons(u":/icons"_s);
    const auto names = icons.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const auto &name : names) {
        QSvgRenderer renderer(icons.filePath(name));
        EXPECT_TRUE(renderer.isValid()) << name.toStdString();
    }
}
