#pragma once

#include "WindowFixture.h"

#include "products/LibraryModel.h"
#include "products/StoreProductScrollViewScript.h"
#include "products/StoreProductViewScript.h"

#include <QModelIndex>
#include <QPoint>
#include <QStringList>

#include <functional>

class QMenu;

namespace klv::test {

// The window signed in and showing My Products, with the ways a customer reaches a row: by its title, its
// product button and its option menu.
class LibraryFixture : public WindowFixture {
protected:
    void SetUp() override;

    ui::StoreProductViewScript &view() const { return window->storeProductView(); }
    ui::LibraryModel &model() const { return view().model(); }
    ui::StoreProductScrollViewScript &outline() const { return view().outline(); }

    QStringList rowTitles(const QModelIndex &parent = {}) const;
    QModelIndex rowOf(const QString &title, int column, const QModelIndex &parent = {}) const;
    QString buttonTitle(const QString &title) const;
    void clickAt(const QPoint &position) const;
    void clickProductButton(const QString &title) const;
    // Opens the row's option menu and hands it to `use`, which may trigger an item; the menu is closed after.
    // Without `use`, the row must have no menu.
    void withOptionMenu(const QString &title, const std::function<void(QMenu &)> &use) const;
    // The option menu's items by their whole titles.
    static QStringList actionTitles(const QMenu &menu);
};

} // namespace klv::test
