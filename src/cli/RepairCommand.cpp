#include "cli/RepairCommand.h"

#include "cli/CommandArguments.h"
#include "cli/ExitCode.h"
#include "cli/JobRunDisplay.h"
#include "cli/LibraryLookup.h"
#include "cli/LibraryOutcome.h"
#include "cli/QueueWait.h"
#include "cli/Terminal.h"
#include "cli/TerminalAlerts.h"

#include "app/AppContext.h"
#include "install/InstallationEngine.h"
#include "install/ProductVerification.h"
#include "library/ProductActions.h"
#include "library/ProductLibrary.h"

namespace klv::cli {

using namespace Qt::StringLiterals;

namespace {
const QString yesOption = u"yes"_s;
} // namespace

RepairCommand::RepairCommand(AppContext &context, const Terminal &terminal, TerminalAlerts &alerts)
    : Command(context, terminal)
    , m_alerts(alerts)
    , m_run(new JobRunDisplay(context, terminal, this)) {
    connect(m_run, &JobRunDisplay::cancelled, this, &RepairCommand::finishIfDone);
}

void RepairCommand::describe(CommandArguments &arguments) const {
    arguments.addPositional(u"NAME"_s, u"Product names as klv list shows them, or product numbers."_s, -1, true);
    arguments.addFlag(yesOption, u"Do not ask: close Final Cut Pro and Motion if they run."_s, u"y"_s);
}

void RepairCommand::run(const CommandArguments &arguments) {
    const QStringList names = arguments.positionalArguments();
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    auto *turn = new QueueWait(m_context.installationTurn(), m_terminal, this);
    turn->take([this, names, yes = arguments.isSet(yesOption)] { repair(names, yes); },
               [this](int exitCode) { Q_EMIT finished(exitCode); });
}

void RepairCommand::repair(const QStringList &names, bool answersYes) {
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    connect(
        &library, &ProductLibrary::refreshFinished, this,
        [this, names, answersYes, &library](ProductLibrary::RefreshOutcome outcome, const QString &message) {
            if (outcome == ProductLibrary::RefreshOutcome::refused ||
                outcome == ProductLibrary::RefreshOutcome::noAnswer) {
                m_terminal.printMessage(message);
                Q_EMIT finished(exitCodeFor(outcome));
                return;
            }
            const ProductSelection selection = findProducts(library.libraryProducts(), names);
            for (const QString &unknown : selection.unknown)
                m_terminal.printMessage(unknownProductMessage(library.libraryProducts(), unknown));
            if (!selection.unknown.isEmpty()) {
                Q_EMIT finished(ExitCode::usageError);
                return;
            }
            auto *verification = new ProductVerification(m_context.services(), library, this);
            connect(verification, &ProductVerification::finished, this,
                    [this, answersYes](const QList<ProductCheck> &checks) { repairDamaged(checks, answersYes); });
            m_terminal.printNote(u"Verifying…"_s);
            verification->start(verification->productsToVerify(selection.products), InstallVerifier::Depth::full);
        },
        Qt::SingleShotConnection);
    library.requestProductCommitNumber();
}

void RepairCommand::repairDamaged(const QList<ProductCheck> &checks, bool answersYes) {
    const QList<OutlineViewItem> &library = m_context.library().libraryProducts();
    for (const ProductCheck &check : checks) {
        if (check.unknown) {
            m_terminal.printMessage(check.product + u" is not installed: klv install installs it."_s);
            m_exitCode = ExitCode::notDone;
        } else if (check.intact()) {
            const QString found = !check.baselineTaken     ? u": intact"_s
                                  : check.recordUnreadable ? u": baseline taken (its record could not be read)"_s
                                                           : u": baseline taken"_s;
            m_terminal.printResult(check.product + found + u", nothing to repair"_s);
        } else if (const std::optional<OutlineViewItem> record = findProduct(library, check.product)) {
            m_toRequest.append({*record, check.damagedItems});
        }
    }
    m_run->setTotal(int(m_toRequest.size()));
    if (m_toRequest.isEmpty()) {
        Q_EMIT finished(m_exitCode);
        return;
    }
    m_alerts.setAnswersYes(answersYes);
    const bool confirmed = m_context.productActions().confirmInstall();
    m_alerts.setAnswersYes(false);
    if (!confirmed) {
        m_terminal.printMessage(u"Cancelled"_s);
        Q_EMIT finished(ExitCode::notDone);
        return;
    }
    watchEngine();
    m_run->start();
    m_context.installationEngine().holdQueue();
    requestNext();
}

void RepairCommand::requestNext() {
    if (m_toRequest.isEmpty() || m_run->isCancelled()) {
        m_context.installationEngine().releaseQueue();
        return;
    }
    const auto [record, damaged] = m_toRequest.takeFirst();
    m_context.installationEngine().requestRepair(record, damaged);
}

void RepairCommand::watchEngine() {
    InstallationEngine &engine = m_context.installationEngine();
    connect(&engine, &InstallationEngine::downloadInfoHandled, this,
            [this](const QString &, InstallationEngine::DownloadInfoOutcome outcome, const QString &message) {
                if (outcome != InstallationEngine::DownloadInfoOutcome::accepted) {
                    m_run->countDone();
                    m_terminal.printMessage(message);
                    m_exitCode = qMax(m_exitCode, outcome == InstallationEngine::DownloadInfoOutcome::refused
                                                      ? int(ExitCode::storeRefused)
                                                      : int(ExitCode::noAnswer));
                }
                requestNext();
                finishIfDone();
            });
    connect(&engine, &InstallationEngine::installationRefused, this, [this](const QString &, const QString &message) {
        m_run->countDone();
        m_terminal.printMessage(message);
        m_exitCode = qMax(m_exitCode, int(ExitCode::storeRefused));
    });
    connect(&engine, &InstallationEngine::installationCompleted, this, [this](const QString &productName) {
        m_run->endJob();
        m_run->countDone();
        m_terminal.printResult(u"Repaired "_s + productName, Terminal::Tone::good);
    });
    connect(&engine, &InstallationEngine::jobFailed, this, [this](const QString &productName, const QString &) {
        m_run->endJob();
        m_run->countDone();
        m_terminal.printResult(u"Failed "_s + productName, Terminal::Tone::failure);
        m_exitCode = ExitCode::jobFailed;
    });
    connect(&engine, &InstallationEngine::queueFinished, this, &RepairCommand::finishIfDone);
    connect(&engine, &InstallationEngine::sideWorkFinished, this, &RepairCommand::finishIfDone);
}

void RepairCommand::finishIfDone() {
    const InstallationEngine &engine = m_context.installationEngine();
    if (m_run->isCancelled()) {
        if (!engine.isBusy())
            Q_EMIT finished(ExitCode::cancelled);
        return;
    }
    if (engine.hasRequestsInFlight() || !m_toRequest.isEmpty() || engine.isBusy() || engine.hasSideWork())
        return;
    m_run->endJob();
    Q_EMIT finished(m_exitCode);
}

} // namespace klv::cli
