#include "shell/StatusBarItem.h"

#include "WindowFixture.h"

#include "marketing/MarketingCenter.h"
#include "store/Services.h"

#include <QAction>
#include <QMenu>

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

TEST_F(StatusBarItemTest, OpenAndQuitComeFirstAndTheSaleLineFollowsTheStoresSale) {
    ui::StatusBarItem item(context->services().reporter());
    item.followSale(context->marketing());
    QMenu &menu = item.menu();
    EXPECT_EQ(visibleTitles(menu), (QStringList{u"Open"_s, u"Quit"_s, u"—"_s, u"Check for Updates"_s}));

    QStringList requests;
    QObject::connect(&item, &ui::StatusBarItem::openRequested, [&] { requests << u"open"_s; });
    QObject::connect(&item, &ui::StatusBarItem::checkForUpdatesRequested, [&] { requests << u"check"_s; });
    menu.actions().constFirst()->trigger();
    menu.actions().constLast()->trigger();
    EXPECT_EQ(requests, (QStringList{u"open"_s, u"check"_s}));

    // The demo store runs a sale: its line appears with a ticking countdown and cannot be chosen.
    context->marketing().requestMarketingInfo();
    context->marketing().requestSaleInfo();
    ASSERT_TRUE(waitFor([&] { return visibleTitles(menu).size() == 5; }));
    const QAction *saleLine = menu.actions().at(3);
    EXPECT_FALSE(saleLine->isEnabled());
    const QString first = saleLine->text();
    EXPECT_TRUE(first.contains(u" · "_s)) << first.toStdString();
    EXPECT_TRUE(waitFor([&] { return saleLine->text() != first; }, 3'000)) << "the countdown ticks";
}

} // namespace klv::test
