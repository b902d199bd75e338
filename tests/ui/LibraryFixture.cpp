#include "LibraryFixture.h"

#include "products/LibraryRowDelegate.h"

#include "TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace klv::test {

void LibraryFixture::SetUp() {
    WindowFixture::SetUp();
    signInBeforehand();
    openWindow();
    ASSERT_TRUE(waitUntil([this] { return model().rowCount() > 0; }));
    window->showSection(appMenuIndex::myProductsAppMenu);
}

QStringList LibraryFixture::rowTitles(const QModelIndex &parent) const {
    QStringList titles;
    for (int row = 0; row < model().rowCount(parent); ++row)
        titles << model().index(row, ui::LibraryModel::nameColumn, parent).data().toString();
    return titles;
}

QModelIndex LibraryFixture::rowOf(const QString &title, int column, const QModelIndex &parent) const {
    const auto row = rowTitles(parent).indexOf(title);
    return row < 0 ? QModelIndex() : model().index(static_cast<int>(row), column, parent);
}

QString LibraryFixture::buttonTitle(const QString &title) const {
    return model().buttonState(rowOf(title, ui::LibraryModel::actionColumn)).title;
}

void LibraryFixture::clickAt(const QPoint &position) const {
    QTest::mouseMove(outline().viewport(), position);
    QTest::mouseClick(outline().viewport(), Qt::LeftButton, {}, position);
}

void LibraryFixture::clickProductButton(const QString &title) const {
    const QModelIndex index = rowOf(title, ui::LibraryModel::actionColumn);
    ASSERT_TRUE(index.isValid()) << title.toStdString();
    outline().scrollTo(index);
    clickAt(ui::LibraryRowDelegate::productButtonRect(outline().visualRect(index)).center());
}

void LibraryFixture::withOptionMenu(const QString &title, const std::function<void(QMenu &)> &use) const {
    const QModelIndex index = rowOf(title, ui::LibraryModel::actionColumn);
    ASSERT_TRUE(index.isValid()) << title.toStdString();
    bool seen = false;
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            look.stop();
            seen = true;
            if (use)
                use(*menu);
            menu->close();
        }
    });
    look.start();
    outline().scrollTo(index);
    // The menu runs its own event loop: the click returns once it is closed, or at once when there is none.
    clickAt(ui::LibraryRowDelegate::optionButtonRect(outline().visualRect(index)).center());
    look.stop();
    EXPECT_EQ(seen, bool(use)) << "option menu of " << title.toStdString();
}

QStringList LibraryFixture::actionTitles(const QMenu &menu) {
    QStringList titles;
    for (const QAction *action : menu.actions())
        titles << action->data().toString();
    return titles;
}

} // namespace klv::test
