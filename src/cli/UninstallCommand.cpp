#include "UninstallCommand.h"

#include "ExitCode.h"
#include "LibraryLookup.h"
#include "LibraryOutcome.h"
#include "QueueTurn.h"
#include "Terminal.h"

#include "app/AppContext.h"
#include "library/ProductActions.h"
#include "library/ProductLibrary.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

namespace klv::cli {

namespace {
const QString yesOption = QStringLiteral("yes");
const QString jsonOption = QStringLiteral("json");
} // namespace

void UninstallCommand::describe(QCommandLineParser &parser) const {
    parser.addPositionalArgument(QStringLiteral("names"),
                                 QStringLiteral("Product names as klv list shows them, or product numbers."),
                                 QStringLiteral("NAME..."));
    parser.addOption({yesOption, QStringLiteral("Do not ask for confirmation.")});
    parser.addOption({jsonOption, QStringLiteral("Print the outcome as one JSON object.")});
}

void UninstallCommand::run(const QCommandLineParser &parser) {
    const QStringList names = parser.positionalArguments();
    m_asJson = parser.isSet(jsonOption);
    if (names.isEmpty()) {
        m_terminal.printMessage(QStringLiteral("Usage: klv uninstall NAME... [--yes]"));
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    auto *turn = new QueueTurn(m_context.installationQueueLock(), m_terminal, this);
    turn->take([this, names, confirmed = parser.isSet(yesOption)] { uninstall(names, confirmed); },
               [this](int exitCode) { Q_EMIT finished(exitCode); });
}

void UninstallCommand::uninstall(const QStringList &names, bool confirmed) {
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    // Installed states come from the folders, so the cached library is enough when the store is away.
    library.detectInstalledStates(productNameMap(library.libraryProducts()));
    for (const QString &wanted : names) {
        const std::optional<OutlineViewItem> product = findProduct(library.libraryProducts(), wanted);
        if (!product) {
            m_terminal.printMessage(unknownProductMessage(library.libraryProducts(), wanted));
            Q_EMIT finished(ExitCode::usageError);
            return;
        }
        m_toRemove.append(*product);
    }
    if (!confirmed && !m_context.productActions().confirmUninstall()) {
        m_terminal.printMessage(QStringLiteral("Nothing was removed."));
        Q_EMIT finished(ExitCode::success);
        return;
    }
    connect(&m_context.productActions(), &ProductActions::uninstallFinished, this,
            [this](const OutlineViewItem &record) {
                m_uninstalled.append(record.product_name);
                if (!m_asJson)
                    m_terminal.printResult(u"Uninstalled " + record.product_name);
                uninstallNext();
            });
    uninstallNext();
}

void UninstallCommand::uninstallNext() {
    if (m_toRemove.isEmpty()) {
        if (m_asJson)
            m_terminal.printJson({{QStringLiteral("uninstalled"), QJsonArray::fromStringList(m_uninstalled)}});
        Q_EMIT finished(ExitCode::success);
        return;
    }
    m_context.productActions().uninstall(m_toRemove.takeFirst());
}

} // namespace klv::cli
