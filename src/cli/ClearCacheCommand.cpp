#include "cli/ClearCacheCommand.h"

#include "cli/ExitCode.h"
#include "cli/LibraryOutcome.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"

namespace klv::cli {

void ClearCacheCommand::run(const CommandArguments &) {
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    ProductLibrary &library = m_context.library();
    connect(
        &library, &ProductLibrary::refreshFinished, this,
        [this](ProductLibrary::RefreshOutcome outcome, const QString &message) {
            if (outcome == ProductLibrary::RefreshOutcome::downloaded ||
                outcome == ProductLibrary::RefreshOutcome::unchanged)
                m_terminal.printResult(
                    QStringLiteral("Library reloaded: %1 products.").arg(m_context.library().libraryProducts().size()));
            if (!message.isEmpty())
                m_terminal.printMessage(message);
            Q_EMIT finished(exitCodeFor(outcome));
        });
    if (!library.clearCaches()) {
        m_terminal.printMessage(QStringLiteral("An installation is running; the cache is kept until it ends."));
        Q_EMIT finished(ExitCode::storeRefused);
    }
}

} // namespace klv::cli
