#include "products/StoreProductViewScript.h"

#include "app/AppContext.h"
#include "library/LibraryFilter.h"
#include "library/ProductLibrary.h"
#include "products/LibraryActions.h"
#include "products/LibraryHeaderBar.h"
#include "products/LibraryModel.h"
#include "products/ProductInstallationViewScript.h"
#include "products/StoreProductScrollViewScript.h"
#include "store/Reporter.h"
#include "store/Services.h"
#include "style/Theme.h"

#include <QLineEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace klv::ui {

StoreProductViewScript::StoreProductViewScript(AppContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_model(new LibraryModel(context.library(), context.installationEngine(), context.productImages(), this))
    , m_headerBarView(new LibraryHeaderBar(context.library(), this))
    , m_productInstalltionView(new ProductInstallationViewScript(context.installationEngine(), this))
    , m_storeProductScrollView(new StoreProductScrollViewScript(*m_model, this))
    , m_actions(new LibraryActions(context, *m_model, *this, this)) {
    setObjectName(u"storeProductView"_s);
    if (context.services().detailLogEnabled) {
        const Reporter &reporter = context.services().reporter();
        m_model->setDetailLog([&reporter](const QString &line) { reporter.appendLog(line); });
    }
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme::color(NamedColor::backgroundSecondary));
    setPalette(palette);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_headerBarView);
    // Below the list: when the strip comes or goes, the rows above it stay where they are under the pointer.
    layout->addWidget(m_storeProductScrollView, 1);
    layout->addWidget(m_productInstalltionView);

    connect(m_storeProductScrollView, &StoreProductScrollViewScript::productButtonClicked, m_actions,
            &LibraryActions::pressProductButton);
    connect(m_storeProductScrollView, &StoreProductScrollViewScript::optionMenuRequested, m_actions,
            &LibraryActions::showOptionMenu);
    connect(m_actions, &LibraryActions::waitingForQueue, m_productInstalltionView,
            &ProductInstallationViewScript::showWaiting);
    connect(m_actions, &LibraryActions::queueTaken, m_productInstalltionView,
            &ProductInstallationViewScript::stopWaiting);
    connect(m_productInstalltionView, &ProductInstallationViewScript::waitingCancelled, m_actions,
            &LibraryActions::stopWaitingForQueue);
    connect(&context.library(), &ProductLibrary::displayedProductsChanged, this,
            &StoreProductViewScript::updateEmptyText);
    updateEmptyText();
}

void StoreProductViewScript::updateEmptyText() {
    const ProductLibrary &library = m_context.library();
    const LibraryViewSettings &settings = library.viewSettings;
    switch (whyNothingIsShown(settings, library.libraryProducts(), library.cachedProducts())) {
    case EmptyViewReason::noMatch:
        m_storeProductScrollView->setEmptyText(tr("No product matches “%1”.").arg(settings.searchString));
        break;
    case EmptyViewReason::hiddenByFilter:
        m_storeProductScrollView->setEmptyText(
            settings.searchString.isEmpty()
                ? tr("No product is shown with this filter.")
                : tr("No product matching “%1” is shown with this filter.").arg(settings.searchString));
        break;
    case EmptyViewReason::noLibrary:
        m_storeProductScrollView->setEmptyText(tr("Your products appear here once the store has sent your library."));
        break;
    }
}

} // namespace klv::ui
