#include "products/LibraryHeaderBar.h"

#include "library/ProductLibrary.h"
#include "style/FormStyle.h"
#include "style/IconLibrary.h"
#include "style/Theme.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace klv::ui {

LibraryHeaderBar::LibraryHeaderBar(ProductLibrary &library, QWidget *parent)
    : QWidget(parent)
    , m_library(library)
    , m_search(new QLineEdit(this))
    , m_filter(new QComboBox(this))
    , m_sort(new QToolButton(this)) {
    setObjectName(u"headerBarView"_s);
    setLook(*this, "form");
    auto *title = new QLabel(tr("My Products"), this);
    title->setObjectName(u"sectionTitle"_s);
    setLook(*title, "sectionTitle");

    m_search->setObjectName(u"searchBarOutlet"_s);
    m_search->setPlaceholderText(tr("Search products, e.g. glow, title"));
    m_search->setAccessibleName(tr("Search products"));
    m_search->setClearButtonEnabled(true);
    // Qt's clear button has no text of its own: a screen reader would announce a nameless button.
    if (auto *clear = m_search->findChild<QAction *>(u"_q_qlineeditclearaction"_s))
        clear->setText(tr("Clear search"));
    // The magnifier is a button of its own to screen readers: it says what the field is for.
    m_search->addAction(IconLibrary::icon(u"search"_s), QLineEdit::LeadingPosition)->setText(tr("Search"));
    m_search->setMinimumWidth(300);
    connect(m_search, &QLineEdit::textChanged, this, &LibraryHeaderBar::searchEdited);

    // The titles are what the filter compares; the first item shows everything.
    m_filter->setObjectName(u"filterPopupButton"_s);
    // The style's menu-like rows would ignore the theme; plain item rows take it.
    m_filter->setItemDelegate(new QStyledItemDelegate(m_filter));
    m_filter->setAccessibleName(tr("Show"));
    m_filter->addItems({tr("All Products"), u"Installed"_s, u"Not Installed"_s, u"Updates"_s});
    connect(m_filter, &QComboBox::activated, this, &LibraryHeaderBar::filterPicked);
    // On Linux a screen reader names a combo box by its label (the "labelled by" relation), not its own name, and
    // would otherwise read only its value.
    auto *filterLabel = new QLabel(tr("Show"), this);
    setLook(*filterLabel, "fieldLabel");
    filterLabel->setBuddy(m_filter);
    m_filter->setAccessibleDescription(tr("Shows: %1").arg(m_filter->currentText()));
    connect(m_filter, &QComboBox::currentTextChanged, this,
            [this](const QString &shown) { m_filter->setAccessibleDescription(tr("Shows: %1").arg(shown)); });

    m_sort->setObjectName(u"sortButton"_s);
    m_sort->setIcon(IconLibrary::icon(u"sort-descending"_s));
    describeSort();
    m_sort->setIconSize({18, 18});
    m_sort->setFocusPolicy(Qt::StrongFocus);
    connect(m_sort, &QToolButton::clicked, this, &LibraryHeaderBar::sortClicked);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 14);
    layout->setSpacing(10);
    layout->addWidget(title);
    layout->addStretch();
    layout->addWidget(m_search);
    layout->addSpacing(6);
    layout->addWidget(filterLabel);
    layout->addWidget(m_filter);
    layout->addWidget(m_sort);
}

void LibraryHeaderBar::searchEdited(const QString &text) {
    m_library.viewSettings.searchString = text;
    m_library.applyLibraryFilter();
}

void LibraryHeaderBar::filterPicked(int index) {
    const QString title = m_filter->itemText(index);
    if (title == u"Installed"_s)
        m_library.viewSettings.filterMyProductState = productFilterState::installedProduct;
    else if (title == u"Not Installed"_s)
        m_library.viewSettings.filterMyProductState = productFilterState::notInstalledProduct;
    else if (title == u"Updates"_s)
        m_library.viewSettings.filterMyProductState = productFilterState::needUpdateProduct;
    else
        m_library.viewSettings.filterMyProductState = productFilterState::allProduct;
    m_library.applyLibraryFilter();
}

void LibraryHeaderBar::sortClicked() {
    m_library.viewSettings.sortProductState = m_isToggle ? productSortState::aToZSort : productSortState::zToASort;
    m_isToggle = !m_isToggle;
    // The icon shows the order the next click gives.
    m_sort->setIcon(IconLibrary::icon(m_isToggle ? u"sort-ascending"_s : u"sort-descending"_s));
    describeSort();
    m_library.applyLibraryFilter();
}

void LibraryHeaderBar::describeSort() {
    // Named by the order a press gives, as its icon shows; the order in force is its description.
    const QString next = m_isToggle ? tr("Sort by name, A to Z") : tr("Sort by name, Z to A");
    m_sort->setAccessibleName(next);
    m_sort->setToolTip(next);
    switch (m_library.viewSettings.sortProductState) {
    case productSortState::aToZSort:
        m_sort->setAccessibleDescription(tr("Sorted A to Z"));
        break;
    case productSortState::zToASort:
        m_sort->setAccessibleDescription(tr("Sorted Z to A"));
        break;
    case productSortState::notSort:
        m_sort->setAccessibleDescription(tr("In the store's order"));
        break;
    }
}

} // namespace klv::ui
