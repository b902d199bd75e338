#include "WindowFixture.h"

#include "PixelProbe.h"
#include "controls/PaintedButtonDelegate.h"
#include "offers/MarketingProductModel.h"
#include "offers/MarketingRowDelegate.h"
#include "offers/MarketingTableView.h"
#include "offers/MarketingViewScript.h"
#include "offers/RewardTierDelegate.h"
#include "offers/RewardTierModel.h"
#include "products/LibraryModel.h"
#include "products/LibraryRowDelegate.h"
#include "products/StoreProductScrollViewScript.h"
#include "products/StoreProductViewScript.h"
#include "shell/KLVAppMenuCurveBox.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

namespace klv::test {

namespace {

// A kind of button painted into rows: where it is shown, its cell's column and zone, and two rows that have one.
struct RowButton {
    const char *name;
    appMenuIndex section;
    int column;
    int zone;
    int row;
    int otherRow;
};

const RowButton rowButtons[] = {
    {"LibraryProductButton", appMenuIndex::myProductsAppMenu, ui::LibraryModel::actionColumn,
     ui::LibraryRowDelegate::productZone, 0, 1},
    {"LibraryOptionButton", appMenuIndex::myProductsAppMenu, ui::LibraryModel::actionColumn,
     ui::LibraryRowDelegate::optionZone, 0, 1},
    {"SaleView", appMenuIndex::saleOfTheDayAppMenu, ui::MarketingProductModel::actionColumn,
     ui::MarketingRowDelegate::viewZone, 0, 1},
    // Only the available tiers, the first and the third, have a coupon to copy.
    {"RewardCopy", appMenuIndex::myRewardsAppMenu, ui::RewardTierModel::copyColumn, ui::RewardTierDelegate::copyZone, 0,
     2},
};

void PrintTo(const RowButton &button, std::ostream *out) {
    *out << button.name;
}

// Moves the mouse over the viewport with no button held.
void hoverAt(QWidget &viewport, QPoint position) {
    QMouseEvent move(QEvent::MouseMove, position, viewport.mapToGlobal(position), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&viewport, &move);
}

QImage shown(QWidget &viewport, const QRect &area) {
    return ui::test::renderWidget(viewport).copy(area);
}

} // namespace

class PaintedButtonDelegateTest : public WindowFixture, public ::testing::WithParamInterface<RowButton> {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        signInBeforehand();
        openWindow();
    }
};

TEST_P(PaintedButtonDelegateTest, APressEndedAwayFromItsButtonDrawsItAsBeforeAndClicksNothing) {
    const RowButton &kind = GetParam();
    ASSERT_TRUE(waitUntil([&] { return window->menuItem(kind.section).isMenuItemEnabled(); }));
    window->showSection(kind.section);
    QAbstractItemView &view = kind.section == appMenuIndex::myProductsAppMenu
                                  ? static_cast<QAbstractItemView &>(window->storeProductView().outline())
                                  : window->marketingView().tableView();
    auto &delegate = *qobject_cast<ui::PaintedButtonDelegate *>(view.itemDelegate());
    const auto buttonOf = [&](int row) {
        return delegate.zoneRect(view.model()->index(row, kind.column), kind.zone);
    };
    ASSERT_TRUE(waitUntil([&] { return !buttonOf(kind.row).isEmpty() && !buttonOf(kind.otherRow).isEmpty(); }));
    QWidget &viewport = *view.viewport();
    const QRect button = buttonOf(kind.row);
    // The press gives the view the focus; it has it throughout, so the focus ring stays where it is.
    view.setFocus();
    QSignalSpy clicks(&delegate, &ui::PaintedButtonDelegate::buttonClicked);

    const struct {
        const char *how;
        QPoint at;
        bool escape;
    } endings[] = {
        {"released on another row's button", buttonOf(kind.otherRow).center(), false},
        {"released above the view", QPoint(button.center().x(), -20), false},
        {"released outside the window", QPoint(-4000, -4000), false},
        {"Escape, then released on the button", button.center(), true},
    };
    for (const auto &ending : endings) {
        hoverAt(viewport, ending.at);
        const QImage before = shown(viewport, button);
        hoverAt(viewport, button.center());
        QTest::mousePress(&viewport, Qt::LeftButton, {}, button.center());
        EXPECT_FALSE(shown(viewport, button) == before) << ending.how << ": drawn pressed";
        QTest::mouseMove(&viewport, ending.at);
        if (ending.escape) {
            QTest::keyClick(&view, Qt::Key_Escape);
            EXPECT_TRUE(shown(viewport, button) == before) << ending.how << ": after Escape";
        }
        QTest::mouseRelease(&viewport, Qt::LeftButton, {}, ending.at);
        EXPECT_TRUE(shown(viewport, button) == before) << ending.how;
    }
    EXPECT_EQ(clicks.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(RowButtons, PaintedButtonDelegateTest, ::testing::ValuesIn(rowButtons),
                         [](const ::testing::TestParamInfo<RowButton> &button) {
                             return std::string(button.param.name);
                         });

} // namespace klv::test
