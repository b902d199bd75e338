#include "cli/UninstallCommand.h"

#include "cli/ExitCode.h"
#include "cli/LibraryLookup.h"
#include "cli/LibraryOutcome.h"
#include "cli/MenuRefusal.h"
#include "cli/QueueWait.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "library/ProductActions.h"
#include "library/ProductLibrary.h"

#include "cli/CommandArguments.h"
#include <QJsonArray>
#include <QJsonObject>

namespace klv::cli {

using namespace Qt::StringLiterals;

namespace {
const QString yesOption = u"yes"_s;
const QString jsonOption = u"json"_s;
} // namespace

void UninstallCommand::describe(CommandArguments &arguments) const {
    arguments.addPositional(u"NAME"_s, u"Product names as klv list shows them, or product numbers."_s, -1, true);
    arguments.addFlag(yesOption, u"Do not ask for confirmation."_s, u"y"_s);
    arguments.addFlag(jsonOption, u"Print the outcome as one JSON object."_s);
}

void UninstallCommand::run(const CommandArguments &arguments) {
    const QStringList names = arguments.positionalArguments();
    const bool confirmed = arguments.isSet(yesOption);
    m_asJson = arguments.isSet(jsonOption);
    if (!confirmed && !m_terminal.isInteractive()) {
        m_terminal.printMessage(u"klv uninstall asks before it removes anything, and there is no terminal to ask on; "
                                u"add --yes to uninstall without asking."_s);
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    auto *turn = new QueueWait(m_context.installationTurn(), m_terminal, this);
    turn->take([this, names, confirmed] { uninstall(names, confirmed); },
               [this](int exitCode) { Q_EMIT finished(exitCode); });
}

void UninstallCommand::uninstall(const QStringList &names, bool confirmed) {
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    // Installed states come from the folders, so the cached library is enough when the store is away.
    reportUnstoredLibrary(m_terminal, library.detectInstalledStates(productNameMap(library.libraryProducts())));
    const ProductSelection selection = findProducts(library.libraryProducts(), names);
    for (const QString &unknown : selection.unknown)
        m_terminal.printMessage(unknownProductMessage(library.libraryProducts(), unknown));
    if (!selection.unknown.isEmpty()) {
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    bool refused = false;
    for (const OutlineViewItem &record : selection.products) {
        if (const Error why = uninstallRefusal(record, library.libraryProducts())) {
            m_terminal.printMessage(*why);
            refused = true;
        }
    }
    // Nothing is removed unless everything named can be: the confirmation is for the whole list.
    if (refused) {
        Q_EMIT finished(ExitCode::notDone);
        return;
    }
    m_toRemove = selection.products;
    if (!confirmed && !m_context.productActions().confirmUninstall()) {
        m_terminal.printMessage(u"Cancelled"_s);
        Q_EMIT finished(ExitCode::notDone);
        return;
    }
    connect(&m_context.productActions(), &ProductActions::uninstallFinished, this,
            [this](const OutlineViewItem &record, const UninstallReport &done) {
                report(record, done);
                uninstallNext();
            });
    uninstallNext();
}

void UninstallCommand::report(const OutlineViewItem &record, const UninstallReport &report) {
    if (!report.removedNothing())
        m_uninstalled.append(record.product_name);
    if (m_asJson)
        return;
    for (const QString &path : report.removed)
        m_terminal.printNote(u"Removed "_s + path);
    m_terminal.printResult(report.summary(record.product_name));
}

void UninstallCommand::uninstallNext() {
    if (m_toRemove.isEmpty()) {
        if (m_asJson)
            m_terminal.printJson({{u"uninstalled"_s, QJsonArray::fromStringList(m_uninstalled)}});
        Q_EMIT finished(ExitCode::success);
        return;
    }
    m_context.productActions().uninstall(m_toRemove.takeFirst());
}

} // namespace klv::cli
