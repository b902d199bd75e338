#include "LibraryFixture.h"
#include "PixelProbe.h"

#include "install/InstallationEngine.h"
#include "library/ProductActions.h"
#include "library/ProductLibrary.h"
#include "products/LibraryActions.h"
#include "products/LibraryHeaderBar.h"
#include "products/LibraryModel.h"
#include "products/LibraryRowDelegate.h"
#include "products/ProductInstallationViewScript.h"
#include "products/StoreProductScrollViewScript.h"
#include "products/StoreProductViewScript.h"
#include "shell/MainViewController.h"
#include "style/Theme.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace klv::test {

class LibraryViewTest : public LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        // Filtering, expanding and reloading below all run under Qt's checks of what a model promises.
        new QAbstractItemModelTester(&model(), QAbstractItemModelTester::FailureReportingMode::Fatal, &model());
    }
};

TEST_F(LibraryViewTest, SearchFilterAndSortChangeTheRows) {
    const QStringList all = rowTitles();
    EXPECT_TRUE(all.contains(u"Creator Essentials Bundle"_s));
    EXPECT_FALSE(all.contains(u"Kinetic Titles"_s)) << "members are no top-level rows";

    QLineEdit &search = view().headerBar().searchField();
    QTest::keyClicks(&search, u"glow"_s);
    EXPECT_EQ(rowTitles(), QStringList{u"Glow Pack - Full Version"_s});
    search.clear();
    QTest::keyClicks(&search, u"GLOW,neon"_s);
    EXPECT_EQ(rowTitles().size(), 2);
    // A member's name finds its group.
    search.setText(u"kinetic"_s);
    EXPECT_EQ(rowTitles(), QStringList{u"Creator Essentials Bundle"_s});
    search.setText(u"no such product"_s);
    EXPECT_EQ(model().rowCount(), 0);
    search.clear();
    EXPECT_EQ(rowTitles(), all);

    QComboBox &filter = view().headerBar().filterPopup();
    filter.setCurrentIndex(filter.findText(u"Installed"_s));
    Q_EMIT filter.activated(filter.currentIndex());
    EXPECT_EQ(model().rowCount(), 0) << "nothing is installed in a fresh home";
    filter.setCurrentIndex(filter.findText(u"Not Installed"_s));
    Q_EMIT filter.activated(filter.currentIndex());
    EXPECT_EQ(rowTitles().size(), all.size());

    view().headerBar().sortButton().click();
    QStringList descending = rowTitles();
    EXPECT_EQ(descending.first(), u"Élan Titles"_s) << "code-point order puts É after every ASCII letter";
    view().headerBar().sortButton().click();
    const QStringList ascending = rowTitles();
    std::reverse(descending.begin(), descending.end());
    EXPECT_EQ(ascending, descending);
}

TEST_F(LibraryViewTest, TheKeyboardMovesBetweenRowsAndPressesTheirButtons) {
    const QString product = u"Retro Typewriter"_s;
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // Tabbing in from the header shows the first row at once, and Down goes to the second.
    auto *sort = view().headerBar().findChild<QToolButton *>(u"sortButton"_s);
    sort->setFocus(Qt::TabFocusReason);
    QTest::keyClick(sort, Qt::Key_Tab);
    ASSERT_TRUE(outline().hasFocus());
    EXPECT_EQ(outline().currentIndex().row(), 0);
    const QRect firstRow = outline().visualRect(model().index(0, 0));
    EXPECT_TRUE(ui::test::near(ui::test::pixelAt(ui::test::renderWidget(*outline().viewport()),
                                                 QPointF(firstRow.left() + 1, firstRow.center().y())),
                               ui::theme::color(ui::NamedColor::accent)))
        << "the keyboard's row is marked";
    QTest::keyClick(&outline(), Qt::Key_Down);
    EXPECT_EQ(outline().currentIndex().row(), 1);
    for (int step = 0; step < model().rowCount() && outline().currentIndex().siblingAtColumn(1).data() != product;
         ++step)
        QTest::keyClick(&outline(), Qt::Key_Down);
    ASSERT_EQ(outline().currentIndex().siblingAtColumn(1).data().toString(), product);
    QTest::keyClick(&outline(), Qt::Key_Return);
    EXPECT_TRUE(waitUntil([this, &product] { return buttonTitle(product) == u"Installed"_s; }, 60'000))
        << buttonTitle(product).toStdString();

    // + expands a bundle from the keyboard.
    const QModelIndex group = rowOf(u"Creator Essentials Bundle"_s, 0);
    outline().setCurrentIndex(group);
    QTest::keyClick(&outline(), Qt::Key_Plus);
    EXPECT_TRUE(outline().isExpanded(group));

    // Installing the whole bundle reloads the list as each member starts and ends: the bundle stays open and the
    // keyboard stays on it.
    QTest::keyClick(&outline(), Qt::Key_Return);
    EXPECT_TRUE(waitUntil([this] { return buttonTitle(u"Creator Essentials Bundle"_s) == u"All Installed"_s; }, 60'000))
        << buttonTitle(u"Creator Essentials Bundle"_s).toStdString();
    const QModelIndex bundle = rowOf(u"Creator Essentials Bundle"_s, 0);
    EXPECT_TRUE(outline().isExpanded(bundle));
    EXPECT_EQ(outline().currentIndex().siblingAtColumn(0), bundle);
}

TEST_F(LibraryViewTest, ScreenReadersReadEachRowAndPressItsPaintedButtons) {
    QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(&outline());
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->role(), QAccessible::List);
    ASSERT_EQ(tree->childCount(), model().rowCount()) << "rows, no column headers";
    const int at = int(rowTitles().indexOf(u"Neon Signs"_s));
    QAccessibleInterface *row = tree->child(at);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(tree->indexOfChild(row), at);
    EXPECT_EQ(row->text(QAccessible::Name), u"Neon Signs"_s);
    EXPECT_EQ(row->text(QAccessible::Description), u"Install, File Size: 113.00 MB"_s);
    ASSERT_EQ(row->childCount(), 2);
    QAccessibleInterface *install = row->child(0);
    EXPECT_EQ(install->role(), QAccessible::Button);
    EXPECT_EQ(install->text(QAccessible::Name), u"Install"_s);
    EXPECT_EQ(install->parent(), row);
    EXPECT_EQ(row->child(1)->text(QAccessible::Name), u"Options"_s);
    QAccessibleActionInterface *press = install->actionInterface();
    ASSERT_NE(press, nullptr);
    press->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(waitUntil([this] { return buttonTitle(u"Neon Signs"_s) == u"Installed"_s; }, 60'000));
    // The library was read again: the row is asked for anew.
    install = tree->child(int(rowTitles().indexOf(u"Neon Signs"_s)))->child(0);
    EXPECT_TRUE(install->state().disabled);
    EXPECT_EQ(install->text(QAccessible::Name), u"Installed"_s);

    // A bundle is expandable; its painted expand button opens it, and its members follow it among the rows.
    const int bundle = int(rowTitles().indexOf(u"Creator Essentials Bundle"_s));
    QAccessibleInterface *group = tree->child(bundle);
    EXPECT_TRUE(group->state().expandable);
    EXPECT_FALSE(group->state().expanded);
    ASSERT_EQ(group->childCount(), 3);
    EXPECT_EQ(group->child(0)->text(QAccessible::Name), u"Expand"_s);
    QAccessibleActionInterface *expand = group->child(0)->actionInterface();
    ASSERT_NE(expand, nullptr);
    expand->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(group->state().expanded);
    EXPECT_EQ(tree->childCount(), model().rowCount() + 2);
    EXPECT_EQ(tree->child(bundle + 1)->text(QAccessible::Name), u"Kinetic Titles"_s);
    EXPECT_EQ(tree->child(bundle + 3)->text(QAccessible::Name), rowTitles().value(bundle + 1));
}

TEST_F(LibraryViewTest, TheSearchFilterAndSortSayWhatTheyAreAndHowTheyStand) {
    auto *search = view().headerBar().findChild<QLineEdit *>();
    ASSERT_NE(search, nullptr);
    search->setText(u"glow"_s);
    QToolButton *clear = nullptr;
    for (QToolButton *button : search->findChildren<QToolButton *>()) {
        if (button->defaultAction() && button->defaultAction()->objectName() == u"_q_qlineeditclearaction"_s)
            clear = button;
    }
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(clear)->text(QAccessible::Name), u"Clear search"_s);

    auto *filter = view().headerBar().findChild<QComboBox *>();
    ASSERT_NE(filter, nullptr);
    const auto labels = QAccessible::queryAccessibleInterface(filter)->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1) << "a screen reader names the filter by its label";
    EXPECT_EQ(labels.first().first->text(QAccessible::Name), u"Show"_s);
    filter->setCurrentIndex(1);
    EXPECT_EQ(filter->accessibleDescription(), u"Shows: Installed"_s);

    auto *sort = view().headerBar().findChild<QToolButton *>(u"sortButton"_s);
    ASSERT_NE(sort, nullptr);
    EXPECT_EQ(sort->accessibleName(), u"Sort by name, Z to A"_s);
    EXPECT_EQ(sort->accessibleDescription(), u"In the store's order"_s);
    sort->click();
    EXPECT_EQ(sort->accessibleName(), u"Sort by name, A to Z"_s);
    EXPECT_EQ(sort->accessibleDescription(), u"Sorted Z to A"_s);
}

TEST_F(LibraryViewTest, GroupRowsExpandAndCollapseWithTheirButton) {
    const QModelIndex group = rowOf(u"Creator Essentials Bundle"_s, ui::LibraryModel::nameColumn);
    ASSERT_TRUE(group.isValid());
    const QPoint expandButton = ui::LibraryRowDelegate::expandButtonRect(outline().visualRect(group)).center();
    clickAt(expandButton);
    ASSERT_TRUE(outline().isExpanded(group.siblingAtColumn(0)));
    EXPECT_EQ(rowTitles(group.siblingAtColumn(0)), (QStringList{u"Kinetic Titles"_s, u"Smooth Transitions"_s}));
    clickAt(expandButton);
    EXPECT_FALSE(outline().isExpanded(group.siblingAtColumn(0)));

    // A plain product has no expand button: the click there does nothing.
    const QModelIndex plain = rowOf(u"Neon Signs"_s, ui::LibraryModel::nameColumn);
    clickAt(ui::LibraryRowDelegate::expandButtonRect(outline().visualRect(plain)).center());
    EXPECT_FALSE(outline().isExpanded(plain.siblingAtColumn(0)));
}

TEST_F(LibraryViewTest, RowsShowQueuedAndRunningJobsAndTheStripCancelsThem) {
    ui::ProductInstallationViewScript &strip = view().installationStrip();
    EXPECT_FALSE(strip.isVisible());
    QStringList stripTitles;
    QObject::connect(&context->installationEngine(), &InstallationEngine::stripChanged, &strip,
                     [this, &stripTitles] { stripTitles << context->installationEngine().stripTitle(); });
    // Where the second product's row stands in the window: a second click aims there while the strip comes.
    const auto rowInWindow = [this] {
        return outline().viewport()->mapTo(window.get(),
                                           outline().visualRect(rowOf(u"Retro Typewriter"_s, 0)).topLeft());
    };
    outline().scrollTo(rowOf(slowProduct, ui::LibraryModel::actionColumn));
    const QPoint before = rowInWindow();

    clickProductButton(slowProduct);
    // "Installing..." until the store answered, then "In Queue" until the download has made progress.
    EXPECT_TRUE(buttonTitle(slowProduct) == u"Installing..."_s || buttonTitle(slowProduct) == u"In Queue"_s)
        << buttonTitle(slowProduct).toStdString();
    ASSERT_TRUE(waitUntil([&strip] { return strip.isVisible(); }));
    EXPECT_EQ(rowInWindow(), before) << "the strip pushed the rows under the pointer";
    clickProductButton(u"Retro Typewriter"_s);
    ASSERT_TRUE(waitUntil([this] { return buttonTitle(u"Retro Typewriter"_s) == u"In Queue"_s; }));
    EXPECT_TRUE(stripTitles.contains(u"Installing (1 / 2)  "_s + slowProduct) ||
                std::any_of(stripTitles.cbegin(), stripTitles.cend(),
                            [](const QString &title) { return title.startsWith(u"Installing (1 / 2) "_s); }))
        << stripTitles.join(u" | "_s).toStdString();
    EXPECT_TRUE(strip.percentText().endsWith(u'%'));
    EXPECT_LT(view().outline().height(), view().height() - view().headerBar().height() - 10);

    strip.cancelButton().click();
    ASSERT_TRUE(waitUntil([this] { return !context->installationEngine().isBusy(); }));
    EXPECT_FALSE(strip.isVisible());
    EXPECT_EQ(rowInWindow(), before) << "the strip's going moved the rows";
    EXPECT_EQ(buttonTitle(slowProduct), u"Install"_s);
    EXPECT_EQ(buttonTitle(u"Retro Typewriter"_s), u"Install"_s);
}

TEST_F(LibraryViewTest, InstallThenTheOptionMenuOffersUninstallWhichAsksFirst) {
    const QString product = u"Retro Typewriter"_s;
    withOptionMenu(product,
                   [](QMenu &menu) { EXPECT_EQ(actionTitles(menu), QStringList{ProductActions::learnMoreItem}); });
    // A composite that is not installed has no menu.
    withOptionMenu(u"Dust & Scratches"_s, {});

    clickProductButton(product);
    ASSERT_TRUE(waitUntil([this, &product] { return buttonTitle(product) == u"Installed"_s; }, 60'000))
        << buttonTitle(product).toStdString();
    EXPECT_FALSE(view().installationStrip().isVisible());

    withOptionMenu(product, [](QMenu &menu) {
        EXPECT_EQ(actionTitles(menu), (QStringList{ProductActions::learnMoreItem, ProductActions::uninstallItem}));
        menu.actions().constFirst()->trigger();
    });
    ASSERT_FALSE(desktop.opened.isEmpty());
    EXPECT_EQ(desktop.opened.last().path(), u"/product/retro-typewriter"_s);

    // Declining the confirmation keeps the product.
    alerts.answers = {1};
    withOptionMenu(product, [](QMenu &menu) { menu.actions().constLast()->trigger(); });
    EXPECT_EQ(alerts.shown.last().title, u"Are you sure you want to uninstall?"_s);
    EXPECT_EQ(buttonTitle(product), u"Installed"_s);

    alerts.answers = {0};
    withOptionMenu(product, [](QMenu &menu) { menu.actions().constLast()->trigger(); });
    ASSERT_TRUE(waitUntil([this, &product] { return buttonTitle(product) == u"Install"_s; }));
}

TEST_F(LibraryViewTest, RowPicturesAreDecodedAwayFromThePaintAndRepaintOnlyTheirCell) {
    // The rows on screen download their pictures from the store first.
    const QModelIndex shown = rowOf(u"Neon Signs"_s, ui::LibraryModel::pictureColumn);
    ASSERT_TRUE(shown.isValid());
    outline().scrollTo(shown);
    ASSERT_TRUE(waitUntil([&] { return !model().picture(shown, 1.0).isNull(); }));

    // A stored picture a model has not seen yet: the paint that asks gets nothing at once, never the decoded file,
    // and the cell that asked is told when the picture is ready.
    ui::LibraryModel fresh(context->library(), context->installationEngine(), context->productImages());
    const QModelIndex cell = fresh.index(shown.row(), ui::LibraryModel::pictureColumn);
    QSignalSpy changes(&fresh, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(fresh.picture(cell, 2.0).isNull());
    // Other rows' downloads may still be arriving and repaint their whole column; this cell is told on its own.
    const auto toldAlone = [&] {
        return std::any_of(changes.cbegin(), changes.cend(), [&](const QList<QVariant> &change) {
            return change.at(0).toModelIndex() == cell && change.at(1).toModelIndex() == cell;
        });
    };
    ASSERT_TRUE(waitUntil(toldAlone));
    const QPixmap picture = fresh.picture(cell, 2.0);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(2 * ui::LibraryModel::pictureSide, 2 * ui::LibraryModel::pictureSide));
    EXPECT_EQ(picture.devicePixelRatio(), 2.0);
}

// A catalog whose slowly sent product has a name longer than any row or strip has room for.
class LongNameTest : public LibraryFixture {
protected:
    static inline const QString longName =
        u"Zoom Transitions Deluxe Collection for Vertical Stories, Weddings and Travel Films"_s;

    LongNameTest() {
        linkCatalog(demoCatalog(), m_catalog.path());
        editCatalog(m_catalog.path(), [](QJsonObject &root) { renamed(root); });
    }
    QString catalogDirectory() const override { return m_catalog.path(); }

private:
    // Every mention of the product's name, wherever the catalog lists it.
    template <typename Json> static void renamed(Json &json) {
        for (auto entry = json.begin(); entry != json.end(); ++entry) {
            QJsonValue value = *entry;
            if (value.isString() && value.toString() == slowProduct) {
                *entry = longName;
            } else if (value.isObject()) {
                QJsonObject inner = value.toObject();
                renamed(inner);
                *entry = inner;
            } else if (value.isArray()) {
                QJsonArray inner = value.toArray();
                renamed(inner);
                *entry = inner;
            }
        }
    }

    QTemporaryDir m_catalog;
};

TEST_F(LongNameTest, ACutNameShowsWholeOnHoverAndTheStripKeepsItsStep) {
    const QModelIndex name = rowOf(longName, ui::LibraryModel::nameColumn);
    ASSERT_TRUE(name.isValid());
    outline().scrollTo(name);
    const auto tooltipAt = [this](const QModelIndex &cell) {
        const QPoint position = outline().visualRect(cell).center();
        QHelpEvent help(QEvent::ToolTip, position, outline().viewport()->mapToGlobal(position));
        QApplication::sendEvent(outline().viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tooltipAt(rowOf(u"Neon Signs"_s, ui::LibraryModel::nameColumn)), QString()) << "a whole name has none";
    EXPECT_EQ(tooltipAt(name), longName);

    context->installationEngine().requestInstallation(*libraryRecord(longName), true);
    ui::ProductInstallationViewScript &strip = view().installationStrip();
    const auto *title = strip.findChild<QLabel *>(u"productInstallingName"_s);
    // The step comes once bytes arrive: "- received / total".
    ASSERT_TRUE(waitUntil([&] { return strip.isVisible() && title->text().contains(u" / "_s + u"2.11 KB"_s); }))
        << title->text().toStdString();
    EXPECT_TRUE(title->text().contains(u'…')) << title->text().toStdString();
    EXPECT_TRUE(title->text().startsWith(u"Installing (1 / 1)  Zoom"_s)) << title->text().toStdString();
    EXPECT_LE(title->fontMetrics().horizontalAdvance(title->text()), title->contentsRect().width());
    EXPECT_EQ(title->toolTip(), strip.titleText());
    context->installationEngine().cancelInstallation();
    ASSERT_TRUE(waitUntil([this] { return !context->installationEngine().isBusy(); }));
}

} // namespace klv::test
