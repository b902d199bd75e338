#include "cli/MenuItemCommand.h"

#include "cli/ExitCode.h"
#include "cli/LibraryLookup.h"
#include "cli/LibraryOutcome.h"
#include "cli/MenuRefusal.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "core/SafeName.h"
#include "library/InstalledStateDetector.h"
#include "library/ProductActions.h"
#include "library/ProductLibrary.h"
#include "store/Services.h"

#include "cli/CommandArguments.h"

namespace klv::cli {

using namespace Qt::StringLiterals;

MenuItemCommand::MenuItemCommand(AppContext &context, const Terminal &terminal, Item item)
    : Command(context, terminal)
    , m_item(item) {}

QString MenuItemCommand::name() const {
    return m_item == Item::learnMore ? u"open"_s : u"show"_s;
}

QString MenuItemCommand::summary() const {
    return m_item == Item::learnMore ? u"Open a product's page in the store (Learn More)."_s
                                     : u"Show an installed composite's folder (View In Finder)."_s;
}

void MenuItemCommand::describe(CommandArguments &arguments) const {
    arguments.addPositional(u"NAME"_s, u"A product name as klv list shows it, or a product number."_s, 1, true);
}

void MenuItemCommand::run(const CommandArguments &arguments) {
    const QStringList names = arguments.positionalArguments();
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    // Installed states come from the folders; the library as last known is enough.
    reportUnstoredLibrary(m_terminal, library.detectInstalledStates(productNameMap(library.libraryProducts())));
    const std::optional<OutlineViewItem> record = findProduct(library.libraryProducts(), names.first());
    if (!record) {
        m_terminal.printMessage(unknownProductMessage(library.libraryProducts(), names.first()));
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    if (const Error why = refusal(*record)) {
        m_terminal.printMessage(*why);
        Q_EMIT finished(ExitCode::notDone);
        return;
    }
    const Error target = act(*record);
    if (!target) {
        m_terminal.printMessage(u"\""_s + record->product_name + u"\" has no folder that can be shown."_s);
        Q_EMIT finished(ExitCode::notDone);
        return;
    }
    m_terminal.printResult(*target);
    Q_EMIT finished(ExitCode::success);
}

Error MenuItemCommand::refusal(const OutlineViewItem &record) const {
    const QList<OutlineViewItem> &library = m_context.library().libraryProducts();
    return m_item == Item::learnMore ? learnMoreRefusal(record, library) : viewInFinderRefusal(record, library);
}

Error MenuItemCommand::act(const OutlineViewItem &record) {
    ProductActions &actions = m_context.productActions();
    if (m_item == Item::learnMore) {
        actions.learnMore(record);
        return actions.learnMoreUrl(record).toString();
    }
    // A name from the store that is not one path component names no folder of ours.
    if (unsafePathComponentReason(record.product_name))
        return std::nullopt;
    actions.revealComposite(record);
    return m_context.services().locations().compositeFolderURL + u'/' + record.product_name;
}

} // namespace klv::cli
