#pragma once

#include <QWidget>

namespace klv {
class AppContext;
}

namespace klv::ui {

class LibraryActions;
class LibraryHeaderBar;
class LibraryModel;
class ProductInstallationViewScript;
class StoreProductScrollViewScript;

// The My Products section: the header bar, the installation strip while a job runs, and the library outline,
// which gives up the strip's room while it shows.
class StoreProductViewScript final : public QWidget {
    Q_OBJECT
public:
    explicit StoreProductViewScript(AppContext &context, QWidget *parent = nullptr);

    LibraryHeaderBar &headerBar() const { return *m_headerBarView; }
    StoreProductScrollViewScript &outline() const { return *m_storeProductScrollView; }
    ProductInstallationViewScript &installationStrip() const { return *m_productInstalltionView; }
    LibraryModel &model() const { return *m_model; }
    LibraryActions &actions() const { return *m_actions; }

private:
    void updateEmptyText();

    AppContext &m_context;
    LibraryModel *m_model;
    LibraryHeaderBar *m_headerBarView;
    ProductInstallationViewScript *m_productInstalltionView;
    StoreProductScrollViewScript *m_storeProductScrollView;
    LibraryActions *m_actions;
};

} // namespace klv::ui
