#include "shell/ProductLinkHandler.h"

#include "app/AppContext.h"
#include "install/InstallationEngine.h"
#include "library/ProductButtonState.h"
#include "library/ProductLibrary.h"
#include "products/LibraryActions.h"
#include "products/LibraryHeaderBar.h"
#include "products/LibraryModel.h"
#include "products/StoreProductScrollViewScript.h"
#include "products/StoreProductViewScript.h"
#include "shell/MainViewController.h"
#include "store/Reporter.h"
#include "store/Services.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace klv::ui {

ProductLinkHandler::ProductLinkHandler(AppContext &context, MainViewController &window, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_window(window) {
    connect(&m_context.library(), &ProductLibrary::displayedProductsChanged, this, &ProductLinkHandler::tryPending);
}

void ProductLinkHandler::openArguments(const QStringList &arguments) {
    for (const QString &argument : arguments) {
        if (argument.startsWith(u"klv:"_s, Qt::CaseInsensitive))
            openLink(argument);
    }
}

void ProductLinkHandler::openLink(const QString &text) {
    const ProductLinkParse parsed = parseProductLink(text);
    if (!parsed.link) {
        m_context.services().reporter().showAlert(u"Alert"_s, parsed.refusal, u"OK"_s);
        return;
    }
    m_pending.reset();
    if (!m_context.services().settings().sessionActive) {
        // Signed out: the link waits until the customer has signed in and the library has come.
        m_pending = parsed.link;
        m_window.showSection(appMenuIndex::logintMenu);
        return;
    }
    if (!show(*parsed.link))
        m_pending = parsed.link;
}

void ProductLinkHandler::tryPending() {
    if (!m_pending || !m_context.services().settings().sessionActive)
        return;
    const ProductLink link = *std::exchange(m_pending, std::nullopt);
    if (!show(link))
        m_pending = link;
}

bool ProductLinkHandler::show(const ProductLink &link) {
    const QList<OutlineViewItem> &library = m_context.library().libraryProducts();
    if (library.isEmpty())
        return false;
    const auto found = std::find_if(library.cbegin(), library.cend(),
                                    [&](const OutlineViewItem &record) { return record.product_id == link.productId; });
    if (found == library.cend()) {
        m_context.services().reporter().showAlert(
            u"Alert"_s, u"The product %1 is not in your library."_s.arg(link.productId), u"OK"_s);
        return true;
    }
    const OutlineViewItem record = *found;
    const QString title = QString(record.product_name).remove(u"Vantory - "_s);

    // The library shows that product alone, its row current.
    m_window.showSection(appMenuIndex::myProductsAppMenu);
    StoreProductViewScript &products = m_window.storeProductView();
    products.headerBar().searchField().setText(title);
    const LibraryModel &model = products.model();
    QModelIndex row;
    for (int top = 0; top < model.rowCount() && !row.isValid(); ++top) {
        const QModelIndex index = model.index(top, LibraryModel::actionColumn);
        if (model.record(index)->product_id == record.product_id)
            row = index;
    }
    if (row.isValid()) {
        products.outline().setCurrentIndex(row);
        products.outline().scrollTo(row);
        products.outline().setFocus();
    }
    if (link.action != ProductLink::Action::install)
        return true;

    const ProductButtonState state =
        productButtonState(record, m_context.installationEngine().jobState(record), record.isInstalled, library);
    if (!state.enabled) {
        m_context.services().reporter().showAlert(u"Alert"_s, u"%1: %2."_s.arg(title, state.title), u"OK"_s);
        return true;
    }
    const int answer = m_context.services().reporter().showAlert(
        // The link may come from the store's page, a terminal or another program: it names no asker it cannot know.
        u"Install %1?"_s.arg(title), u"A klv:// link asks to install %1 from your library."_s.arg(title), u"Install"_s,
        u"Cancel"_s);
    if (answer == 0 && row.isValid())
        products.actions().pressProductButton(row);
    return true;
}

} // namespace klv::ui
