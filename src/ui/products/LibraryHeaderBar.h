#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class QToolButton;

namespace klv {
class ProductLibrary;
}

namespace klv::ui {

// The library's header: the search field, the filter pop-up and the sort toggle. Each change goes into the
// library's view settings and refilters at once.
class LibraryHeaderBar final : public QWidget {
    Q_OBJECT
public:
    explicit LibraryHeaderBar(ProductLibrary &library, QWidget *parent = nullptr);

    QLineEdit &searchField() const { return *m_search; }
    QComboBox &filterPopup() const { return *m_filter; }
    QToolButton &sortButton() const { return *m_sort; }

private:
    void searchEdited(const QString &text);
    void filterPicked(int index);
    void sortClicked();
    // The sort button's name, tool tip and description, for the order in force and the next one.
    void describeSort();

    ProductLibrary &m_library;
    QLineEdit *m_search;
    QComboBox *m_filter;
    QToolButton *m_sort;
    // The sort button's two states: the first click sorts Z to A, the next A to Z, and so on.
    bool m_isToggle = false;
};

} // namespace klv::ui
