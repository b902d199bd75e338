#include "cli/FreeCommand.h"

#include "cli/ExitCode.h"
#include "cli/ProductJson.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "library/ProductLibrary.h"
#include "marketing/MarketingCenter.h"
#include "store/Services.h"

#include "cli/CommandArguments.h"
#include <QJsonArray>
#include <QJsonObject>

namespace klv::cli {

namespace {
const QString jsonOption = QStringLiteral("json");
} // namespace

void FreeCommand::describe(CommandArguments &arguments) const {
    arguments.addFlag(jsonOption, QStringLiteral("Print the free products as one JSON object."));
}

void FreeCommand::run(const CommandArguments &arguments) {
    const bool asJson = arguments.isSet(jsonOption);
    auto *marketing = &m_context.marketing();
    connect(marketing, &MarketingCenter::marketingInfoFinished, this,
            [this, marketing, asJson](MarketingOutcome outcome, const QString &message) {
                if (outcome == MarketingOutcome::succeeded) {
                    show(*marketing, asJson);
                    return;
                }
                // The library's request, when it failed, has said the same already.
                if (message != m_libraryMessage)
                    m_terminal.printMessage(message);
                Q_EMIT finished(outcome == MarketingOutcome::refused ? ExitCode::storeRefused : ExitCode::noAnswer);
            });

    // Products the customer owns are not offered; the library is brought up to date first.
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    if (!m_context.services().settings().sessionActive) {
        marketing->requestMarketingInfo();
        return;
    }
    connect(&library, &ProductLibrary::refreshFinished, this,
            [this, marketing](ProductLibrary::RefreshOutcome outcome, const QString &message) {
                if (outcome == ProductLibrary::RefreshOutcome::refused ||
                    outcome == ProductLibrary::RefreshOutcome::noAnswer) {
                    // The store's message need not end a sentence: the note goes on a line of its own.
                    m_libraryMessage = message;
                    m_terminal.printMessage(message, Terminal::Tone::failure);
                    m_terminal.printNote(QStringLiteral("Leaving out the products of the library as last known."));
                }
                marketing->requestMarketingInfo();
            });
    library.requestProductCommitNumber();
}

void FreeCommand::show(const MarketingCenter &marketing, bool asJson) {
    const QList<OnSaleProductInfo> &products = marketing.freeProductList();
    if (asJson) {
        QJsonArray array;
        for (const OnSaleProductInfo &product : products)
            array.append(saleProductJson(product));
        m_terminal.printJson({{QStringLiteral("products"), array}});
    } else if (products.isEmpty()) {
        m_terminal.printResult(marketing.freeSectionPlaceholder());
    } else {
        for (const OnSaleProductInfo &product : products) {
            m_terminal.printResult(product.product_name);
            if (!product.product_shortDesc.isEmpty())
                m_terminal.printResult(u"    " + product.product_shortDesc);
        }
    }
    Q_EMIT finished(ExitCode::success);
}

} // namespace klv::cli
