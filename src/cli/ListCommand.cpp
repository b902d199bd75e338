#include "cli/ListCommand.h"

#include "cli/ExitCode.h"
#include "cli/LibraryOutcome.h"
#include "cli/ProductJson.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "core/Platform.h"
#include "library/GroupMembers.h"
#include "library/LibraryRow.h"
#include "library/ProductLibrary.h"
#include "store/Services.h"

#include "cli/CommandArguments.h"
#include <QJsonArray>
#include <QJsonDocument>

namespace klv::cli {

namespace {

const QString filterOption = QStringLiteral("filter");
const QString searchOption = QStringLiteral("search");
const QString sortOption = QStringLiteral("sort");
const QString jsonOption = QStringLiteral("json");

QString forTerminal(QString text) {
    if (!platform::terminalsShowAppleLogo)
        text.remove(QStringLiteral("\uf8ff "));
    return text;
}

} // namespace

void ListCommand::describe(CommandArguments &arguments) const {
    arguments.addValueOption(filterOption, QStringLiteral("all, installed, not-installed or updates."),
                             QStringLiteral("STATE"), QStringLiteral("all"),
                             {QStringLiteral("all"), QStringLiteral("installed"), QStringLiteral("not-installed"),
                              QStringLiteral("updates")});
    arguments.addValueOption(searchOption, QStringLiteral("Comma-separated words; rows matching any of them."),
                             QStringLiteral("TEXT"));
    arguments.addValueOption(sortOption, QStringLiteral("az or za."), QStringLiteral("ORDER"), {},
                             {QStringLiteral("az"), QStringLiteral("za")});
    arguments.addFlag(jsonOption, QStringLiteral("Print the rows as one JSON object."));
}

bool ListCommand::applyOptions(const CommandArguments &arguments) {
    LibraryViewSettings &view = m_context.library().viewSettings;
    const QHash<QString, productFilterState> filters{
        {QStringLiteral("all"), productFilterState::allProduct},
        {QStringLiteral("installed"), productFilterState::installedProduct},
        {QStringLiteral("not-installed"), productFilterState::notInstalledProduct},
        {QStringLiteral("updates"), productFilterState::needUpdateProduct},
    };
    const QString filter = arguments.value(filterOption);
    if (!filters.contains(filter)) {
        m_terminal.printMessage(u"Unknown filter \"" + filter + u"\"; use all, installed, not-installed or updates.");
        return false;
    }
    view.filterMyProductState = filters.value(filter);
    view.searchString = arguments.value(searchOption);
    const QString sort = arguments.value(sortOption);
    if (sort == u"az")
        view.sortProductState = productSortState::aToZSort;
    else if (sort == u"za")
        view.sortProductState = productSortState::zToASort;
    else if (!sort.isEmpty()) {
        m_terminal.printMessage(u"Unknown sort \"" + sort + u"\"; use az or za.");
        return false;
    }
    return true;
}

void ListCommand::run(const CommandArguments &arguments) {
    if (!applyOptions(arguments)) {
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    const bool asJson = arguments.isSet(jsonOption);
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    // Listing needs no store, so an unusable store setting only keeps the library from being checked: said as a
    // store that cannot be reached is.
    if (const QString problem = m_context.services().configuration().storeProblem(); !problem.isEmpty()) {
        m_terminal.printMessageLines(problem);
        m_terminal.printMessage(QStringLiteral("Showing the library as last known."));
        show(asJson);
        return;
    }
    connect(&library, &ProductLibrary::refreshFinished, this,
            [this, asJson](ProductLibrary::RefreshOutcome outcome, const QString &message) {
                if (outcome == ProductLibrary::RefreshOutcome::refused ||
                    outcome == ProductLibrary::RefreshOutcome::noAnswer) {
                    // The store's message need not end a sentence: the note goes on a line of its own.
                    m_terminal.printMessage(message, Terminal::Tone::failure);
                    m_terminal.printMessage(QStringLiteral("Showing the library as last known."));
                }
                show(asJson);
            });
    library.requestProductCommitNumber();
}

void ListCommand::show(bool asJson) {
    ProductLibrary &library = m_context.library();
    library.applyLibraryFilter();
    const ShownProducts &rows = library.displayedProducts();
    const QList<OutlineViewItem> &products = library.libraryProducts();
    if (asJson) {
        QJsonArray array;
        for (const OutlineViewItem &record : rows) {
            QJsonObject row = libraryProductJson(record, products);
            if (record.isGroup()) {
                QJsonArray members;
                for (const qsizetype member : groupMemberIndexes(products, record))
                    members.append(libraryProductJson(products[member], products));
                row.insert(QStringLiteral("members"), members);
            }
            array.append(row);
        }
        m_terminal.printJson({{QStringLiteral("products"), array}});
    } else {
        for (const OutlineViewItem &record : rows) {
            printRow(record, 0);
            for (const qsizetype member : groupMemberIndexes(products, record))
                printRow(products[member], 1);
        }
        if (rows.isEmpty())
            m_terminal.printMessage(QStringLiteral("No products to show."));
    }
    Q_EMIT finished(ExitCode::success);
}

void ListCommand::printRow(const OutlineViewItem &record, int depth) {
    const LibraryRow row = describeLibraryRow(record, m_context.library().libraryProducts());
    const QString marks = QString(record.isInstalled ? QStringLiteral("[installed]") : QStringLiteral("[ ]")) +
                          (record.isNeedUpdate ? QStringLiteral(" [update]") : QString());
    const QString indent(depth * 4, u' ');
    QString line = QStringLiteral("%1  ").arg(record.product_id, 6) + indent + row.title;
    // A group's kind text ends with the separator of its last word; a terminal line does without it.
    if (const QString kinds = row.kindText.endsWith(u", ") ? row.kindText.chopped(2) : row.kindText; !kinds.isEmpty())
        line += u"  (" + kinds + u')';
    const Terminal::Tone tone = record.isNeedUpdate  ? Terminal::Tone::notice
                                : record.isInstalled ? Terminal::Tone::good
                                                     : Terminal::Tone::plain;
    m_terminal.printResult(QStringLiteral("%1  %2").arg(line, -56).arg(marks), tone);
    m_terminal.printResult(QString(8, u' ') + indent + u"    " + forTerminal(row.subLine));
}

} // namespace klv::cli
