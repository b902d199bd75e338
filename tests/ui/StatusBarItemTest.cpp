#include "shell/StatusBarItem.h"

#include "WindowFixture.h"

#include "marketing/MarketingCenter.h"
#include "store/Services.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace klv::test {

namespace {

QStringList visibleTitles(const QMenu &menu) {
    QStringList titles;
    for (const QAction *action : menu.actions()) {
        if (action->isVisible())
            titles << (action->isSeparator() ? u"—"_s : action->text());
    }
    return titles;
}

} // namespace

class StatusBarItemTest : public WindowFixture {};

TEST_F(StatusBarItemTest, OpenAndQuitComeFirstAndTheSaleLineTicksWhicheverSectionTheWindowShows) {
    ui::StatusBarItem item(context->services().reporter());
    item.followSale(context->marketing());
    // Without a status area the item is there all the same, for one that appears later to take in.
    const auto *icon = item.findChild<QSystemTrayIcon *>();
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(icon->isVisible());
    QMenu &menu = item.menu();
    EXPECT_EQ(visibleTitles(menu), (QStringList{u"Open"_s, u"Quit"_s, u"—"_s, u"Check for Updates"_s}));

    QStringList requests;
    QObject::connect(&item, &ui::StatusBarItem::openRequested, [&] { requests << u"open"_s; });
    QObject::connect(&item, &ui::StatusBarItem::checkForUpdatesRequested, [&] { requests << u"check"_s; });
    menu.actions().constFirst()->trigger();
    menu.actions().constLast()->trigger();
    EXPECT_EQ(requests, (QStringList{u"open"_s, u"check"_s}));

    // The demo store runs a sale: its line appears with its countdown and cannot be chosen.
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([&] { return visibleTitles(menu).size() == 5; }));
    const QAction *saleLine = menu.actions().at(3);
    EXPECT_FALSE(saleLine->isEnabled());
    EXPECT_TRUE(saleLine->text().contains(u" · "_s)) << saleLine->text().toStdString();

    // The banner's beat is the status item's too: leaving the sale section does not stop it.
    for (const appMenuIndex section : {appMenuIndex::saleOfTheDayAppMenu, appMenuIndex::featuredAppMenu,
                                       appMenuIndex::myProductsAppMenu, appMenuIndex::saleOfTheDayAppMenu}) {
        window->showSection(section);
        const QString before = saleLine->text();
        now = now.addSecs(1);
        ticks.tick();
        EXPECT_NE(saleLine->text(), before) << "in section " << int(section);
    }
}

} // namespace klv::test
