#include "cli/OutdatedCommand.h"

#include "cli/CommandArguments.h"
#include "cli/ExitCode.h"
#include "cli/LibraryOutcome.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "library/ProductActions.h"
#include "library/ProductLibrary.h"

#include <QJsonArray>
#include <QJsonObject>

namespace klv::cli {

using namespace Qt::StringLiterals;

namespace {
const QString jsonOption = u"json"_s;
}

void OutdatedCommand::describe(CommandArguments &arguments) const {
    arguments.addFlag(jsonOption, u"Print them as one JSON object."_s);
}

void OutdatedCommand::run(const CommandArguments &arguments) {
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    // Updates are known from the store's latest releases, so the library is asked for again.
    connect(
        &library, &ProductLibrary::refreshFinished, this,
        [this, asJson = arguments.isSet(jsonOption)](ProductLibrary::RefreshOutcome outcome, const QString &message) {
            if (outcome == ProductLibrary::RefreshOutcome::refused ||
                outcome == ProductLibrary::RefreshOutcome::noAnswer) {
                m_terminal.printMessage(message);
                Q_EMIT finished(exitCodeFor(outcome));
                return;
            }
            show(asJson);
        },
        Qt::SingleShotConnection);
    library.requestProductCommitNumber();
}

void OutdatedCommand::show(bool asJson) {
    const QList<OutlineViewItem> &library = m_context.library().libraryProducts();
    const QList<OutlineViewItem> outdated = ProductActions::updatableProducts(library);
    if (asJson) {
        QJsonArray products;
        for (const OutlineViewItem &record : std::as_const(outdated))
            products.append(QJsonObject{{u"number"_s, record.product_id}, {u"name"_s, record.product_name}});
        m_terminal.printJson({{u"products"_s, products}});
    } else {
        for (const OutlineViewItem &record : std::as_const(outdated))
            m_terminal.printResult(record.product_name);
        if (outdated.isEmpty())
            m_terminal.printMessage(u"Every installed product is up to date."_s);
    }
    Q_EMIT finished(ExitCode::success);
}

} // namespace klv::cli
