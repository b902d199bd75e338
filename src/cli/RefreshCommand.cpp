#include "cli/RefreshCommand.h"

#include "cli/ExitCode.h"
#include "cli/LibraryOutcome.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "library/ProductLibrary.h"
#include "store/Services.h"

#include "cli/CommandArguments.h"
#include <QJsonArray>
#include <QJsonObject>
#include <QMultiHash>

#include <optional>

namespace klv::cli {

namespace {

const QString jsonOption = QStringLiteral("json");

bool sameProduct(const OutlineViewItem &a, const OutlineViewItem &b) {
    return a.product_id == b.product_id && a.product_name == b.product_name && a.product_location == b.product_location;
}

QString stateText(const OutlineViewItem &record) {
    QString text = record.isInstalled ? QStringLiteral("installed") : QStringLiteral("not installed");
    if (record.isNeedUpdate)
        text += QStringLiteral(", update available");
    return text;
}

} // namespace

void RefreshCommand::describe(CommandArguments &arguments) const {
    arguments.addFlag(jsonOption, QStringLiteral("Print the outcome as one JSON object."));
}

void RefreshCommand::run(const CommandArguments &arguments) {
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    const QList<OutlineViewItem> before = library.libraryProducts();
    connect(&library, &ProductLibrary::refreshFinished, this,
            [this, before, asJson = arguments.isSet(jsonOption)](ProductLibrary::RefreshOutcome outcome,
                                                                 const QString &message) {
                if (outcome == ProductLibrary::RefreshOutcome::unchanged ||
                    outcome == ProductLibrary::RefreshOutcome::downloaded) {
                    const QString what = outcome == ProductLibrary::RefreshOutcome::downloaded
                                             ? QStringLiteral("downloaded")
                                             : QStringLiteral("unchanged");
                    reportChanges(before, what, asJson);
                    if (!message.isEmpty())
                        m_terminal.printMessage(message);
                } else {
                    m_terminal.printMessage(message);
                }
                Q_EMIT finished(exitCodeFor(outcome));
            });
    library.requestProductCommitNumber();
}

void RefreshCommand::reportChanges(const QList<OutlineViewItem> &before, const QString &what, bool asJson) {
    const QString commit = m_context.services().settings().storedCommitID;
    if (!asJson)
        m_terminal.printResult(u"Library " + what + u" (commit " + commit + u").");
    QJsonArray added;
    QJsonArray changed;
    QJsonArray removed;
    // Positions by number rather than copies or composed keys, and a flag per old record rather than a set of the
    // new ones: both lists can hold a quarter of a million products.
    QMultiHash<qint64, qsizetype> previous;
    previous.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        previous.insert(before[i].product_id, i);
    QList<bool> stillPresent(before.size(), false);
    const auto previousPosition = [&](const OutlineViewItem &record) -> std::optional<qsizetype> {
        for (auto it = previous.constFind(record.product_id); it != previous.cend() && it.key() == record.product_id;
             ++it) {
            if (sameProduct(before[*it], record))
                return *it;
        }
        return std::nullopt;
    };

    int changes = 0;
    const QList<OutlineViewItem> &after = m_context.library().libraryProducts();
    for (const OutlineViewItem &record : after) {
        const std::optional<qsizetype> found = previousPosition(record);
        if (!found) {
            if (asJson)
                added.append(QJsonObject{{QStringLiteral("number"), record.product_id},
                                         {QStringLiteral("name"), record.product_name},
                                         {QStringLiteral("installed"), record.isInstalled},
                                         {QStringLiteral("updateAvailable"), record.isNeedUpdate}});
            else
                m_terminal.printResult(u"  + " + record.product_name + u" (" + stateText(record) + u')');
            ++changes;
            continue;
        }
        stillPresent[*found] = true;
        const OutlineViewItem &old = before[*found];
        if (old.isInstalled != record.isInstalled || old.isNeedUpdate != record.isNeedUpdate) {
            if (asJson)
                changed.append(QJsonObject{{QStringLiteral("number"), record.product_id},
                                           {QStringLiteral("name"), record.product_name},
                                           {QStringLiteral("installed"), record.isInstalled},
                                           {QStringLiteral("updateAvailable"), record.isNeedUpdate},
                                           {QStringLiteral("wasInstalled"), old.isInstalled},
                                           {QStringLiteral("hadUpdate"), old.isNeedUpdate}});
            else
                m_terminal.printResult(u"  ~ " + record.product_name + u": " + stateText(old) + u" -> " +
                                           stateText(record),
                                       record.isNeedUpdate ? Terminal::Tone::notice : Terminal::Tone::plain);
            ++changes;
        }
    }
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (stillPresent[i])
            continue;
        if (asJson)
            removed.append(QJsonObject{{QStringLiteral("number"), before[i].product_id},
                                       {QStringLiteral("name"), before[i].product_name}});
        else
            m_terminal.printResult(u"  - " + before[i].product_name);
        ++changes;
    }
    if (asJson) {
        m_terminal.printJson({{QStringLiteral("library"), what},
                              {QStringLiteral("commit"), commit},
                              {QStringLiteral("productCount"), after.size()},
                              {QStringLiteral("added"), added},
                              {QStringLiteral("changed"), changed},
                              {QStringLiteral("removed"), removed}});
        return;
    }
    m_terminal.printResult(changes == 0 ? QStringLiteral("No changes; %1 products.").arg(after.size())
                                        : QStringLiteral("%1 changes; %2 products.").arg(changes).arg(after.size()));
}

} // namespace klv::cli
