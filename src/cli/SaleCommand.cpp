#include "cli/SaleCommand.h"

#include "cli/ExitCode.h"
#include "cli/ProductJson.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"

#include "marketing/MarketingCenter.h"

#include "cli/CommandArguments.h"
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace klv::cli {

namespace {
const QString jsonOption = QStringLiteral("json");
} // namespace

void SaleCommand::describe(CommandArguments &arguments) const {
    arguments.addFlag(jsonOption, QStringLiteral("Print the sale as one JSON object."));
}

void SaleCommand::run(const CommandArguments &arguments) {
    const bool asJson = arguments.isSet(jsonOption);
    auto *marketing = &m_context.marketing();
    // Like the window: the marketing information with its lists, then the sale information on its own.
    m_pending = 2;
    connect(marketing, &MarketingCenter::marketingInfoFinished, this,
            [this, marketing, asJson](MarketingOutcome outcome, const QString &message) {
                m_marketingInfoLoaded = outcome == MarketingOutcome::succeeded;
                answered(outcome, message);
                if (m_pending == 0)
                    show(*marketing, asJson);
            });
    connect(marketing, &MarketingCenter::saleInfoFinished, this,
            [this, marketing, asJson](MarketingOutcome outcome, const QString &message) {
                answered(outcome, message);
                if (m_pending == 0)
                    show(*marketing, asJson);
            });
    marketing->requestMarketingInfo();
    marketing->requestSaleInfo();
}

void SaleCommand::answered(MarketingOutcome outcome, const QString &message) {
    --m_pending;
    if (outcome == MarketingOutcome::succeeded)
        return;
    if (!m_messages.contains(message)) {
        m_messages.append(message);
        m_terminal.printMessage(message);
    }
    m_exitCode =
        std::max(m_exitCode, int(outcome == MarketingOutcome::refused ? ExitCode::storeRefused : ExitCode::noAnswer));
}

void SaleCommand::show(const MarketingCenter &marketing, bool asJson) {
    // Without the marketing information there is no sale list to tell an empty sale from.
    if (!m_marketingInfoLoaded) {
        Q_EMIT finished(m_exitCode);
        return;
    }
    const QString countdown = marketing.countDownDate();
    const QStringList placeholder = marketing.saleSectionPlaceholder();
    if (asJson) {
        QJsonArray products;
        for (const OnSaleProductInfo &product : marketing.saleOfTheDayPList())
            products.append(saleProductJson(product));
        const QJsonObject sale{{QStringLiteral("title"), marketing.saleTitle()},
                               {QStringLiteral("discountPercent"), marketing.saleDiscountPercent()},
                               {QStringLiteral("endDate"), marketing.saleEndDate()},
                               {QStringLiteral("countdown"), countdown},
                               {QStringLiteral("products"), products},
                               {QStringLiteral("placeholder"), QJsonArray::fromStringList(placeholder)}};
        m_terminal.printJson(sale);
    } else if (!placeholder.isEmpty()) {
        for (const QString &line : placeholder)
            m_terminal.printResult(line);
    } else {
        if (!marketing.saleTitle().isEmpty())
            m_terminal.printResult(marketing.saleTitle());
        m_terminal.printResult(countdown);
        for (const OnSaleProductInfo &product : marketing.saleOfTheDayPList()) {
            m_terminal.printResult(u"  " + product.product_name);
            if (!product.product_shortDesc.isEmpty())
                m_terminal.printResult(u"      " + product.product_shortDesc);
        }
    }
    Q_EMIT finished(m_exitCode);
}

} // namespace klv::cli
