#include "RefreshCommand.h"

#include "ExitCode.h"
#include "LibraryOutcome.h"
#include "Terminal.h"

#include "app/AppContext.h"
#include "library/ProductLibrary.h"
#include "store/Services.h"

namespace klv::cli {

namespace {

QString identity(const OutlineViewItem &record) {
    return QString::number(record.product_id) + u'\x1f' + record.product_name + u'\x1f' + record.product_location;
}

QString stateText(const OutlineViewItem &record) {
    QString text = record.isInstalled ? QStringLiteral("installed") : QStringLiteral("not installed");
    if (record.isNeedUpdate)
        text += QStringLiteral(", update available");
    return text;
}

} // namespace

void RefreshCommand::run(const QCommandLineParser &) {
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    const QList<OutlineViewItem> before = library.libraryProducts();
    connect(&library, &ProductLibrary::refreshFinished, this,
            [this, before](ProductLibrary::RefreshOutcome outcome, const QString &message) {
                if (outcome == ProductLibrary::RefreshOutcome::unchanged ||
                    outcome == ProductLibrary::RefreshOutcome::downloaded) {
                    const QString commit = m_context.services().settings().storedCommitID;
                    const QString what = outcome == ProductLibrary::RefreshOutcome::downloaded
                                             ? QStringLiteral("downloaded")
                                             : QStringLiteral("unchanged");
                    m_terminal.printResult(u"Library " + what + u" (commit " + commit + u").");
                    reportChanges(before);
                    if (!message.isEmpty())
                        m_terminal.printMessage(message);
                } else {
                    m_terminal.printMessage(message);
                }
                Q_EMIT finished(exitCodeFor(outcome));
            });
    library.requestProductCommitNumber();
}

void RefreshCommand::reportChanges(const QList<OutlineViewItem> &before) {
    QHash<QString, OutlineViewItem> previous;
    for (const OutlineViewItem &record : before)
        previous.insert(identity(record), record);

    int changes = 0;
    const QList<OutlineViewItem> &after = m_context.library().libraryProducts();
    QSet<QString> present;
    for (const OutlineViewItem &record : after) {
        const QString key = identity(record);
        present.insert(key);
        const auto old = previous.constFind(key);
        if (old == previous.cend()) {
            m_terminal.printResult(u"  + " + record.product_name + u" (" + stateText(record) + u')');
            ++changes;
        } else if (old->isInstalled != record.isInstalled || old->isNeedUpdate != record.isNeedUpdate) {
            m_terminal.printResult(u"  ~ " + record.product_name + u": " + stateText(*old) + u" -> " +
                                   stateText(record));
            ++changes;
        }
    }
    for (const OutlineViewItem &record : before) {
        if (!present.contains(identity(record))) {
            m_terminal.printResult(u"  - " + record.product_name);
            ++changes;
        }
    }
    m_terminal.printResult(changes == 0 ? QStringLiteral("No changes; %1 products.").arg(after.size())
                                        : QStringLiteral("%1 changes; %2 products.").arg(changes).arg(after.size()));
}

} // namespace klv::cli
