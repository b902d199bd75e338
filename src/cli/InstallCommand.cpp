#include "cli/InstallCommand.h"

#include "cli/ExitCode.h"
#include "cli/JobRunDisplay.h"
#include "cli/LibraryLookup.h"
#include "cli/LibraryOutcome.h"
#include "cli/MenuRefusal.h"
#include "cli/QueueWait.h"
#include "cli/ShellWord.h"
#include "cli/Terminal.h"
#include "cli/TerminalAlerts.h"

#include "app/AppContext.h"
#include "core/ByteCountFormat.h"
#include "install/InstallationEngine.h"
#include "install/PartialDownload.h"
#include "library/ProductActions.h"
#include "library/ProductLibrary.h"
#include "store/Services.h"

#include "cli/CommandArguments.h"
#include <QJsonArray>
#include <QJsonObject>

namespace klv::cli {

using namespace Qt::StringLiterals;

namespace {
const QString yesOption = u"yes"_s;
const QString allOption = u"all"_s;
const QString jsonOption = u"json"_s;
} // namespace

InstallCommand::InstallCommand(AppContext &context, const Terminal &terminal, TerminalAlerts &alerts, bool isUpdate)
    : Command(context, terminal)
    , m_alerts(alerts)
    , m_isUpdate(isUpdate)
    , m_run(new JobRunDisplay(context, terminal, this)) {
    connect(m_run, &JobRunDisplay::cancelled, this, &InstallCommand::finishIfDone);
}

QString InstallCommand::summary() const {
    return m_isUpdate ? u"Install the latest release of products that have an update."_s
                      : u"Install products: templates, plug-ins, fonts, LUTs, composites."_s;
}

void InstallCommand::describe(CommandArguments &arguments) const {
    arguments.addPositional(u"NAME"_s, u"Product names as klv list shows them, or product numbers."_s, -1, !m_isUpdate);
    if (m_isUpdate) {
        arguments.addFlag(allOption, u"Update every product that has an update (see klv outdated)."_s);
        arguments.addFlag(yesOption, u"Do not ask: update, and close Final Cut Pro and Motion if they run."_s, u"y"_s);
    } else {
        arguments.addFlag(yesOption, u"Do not ask: close Final Cut Pro and Motion if they run."_s, u"y"_s);
    }
    arguments.addFlag(jsonOption, u"Print the outcome as one JSON object."_s);
}

void InstallCommand::run(const CommandArguments &arguments) {
    const QStringList names = arguments.positionalArguments();
    const bool all = m_isUpdate && arguments.isSet(allOption);
    m_answersYes = arguments.isSet(yesOption);
    m_asJson = arguments.isSet(jsonOption);
    if (names.isEmpty() == !all) {
        m_terminal.printMessageLines(arguments.usageError(u"name the products to update, or give --all, not both."_s));
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    if (m_isUpdate && !m_answersYes && !m_terminal.isInteractive()) {
        m_terminal.printMessage(u"klv update asks before it replaces anything, and there is no terminal to ask on; "
                                u"add --yes to update without asking."_s);
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    auto *turn = new QueueWait(m_context.installationTurn(), m_terminal, this);
    turn->take([this, names, all] { install(names, all); }, [this](int exitCode) { Q_EMIT finished(exitCode); });
}

void InstallCommand::install(const QStringList &names, bool all) {
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    connect(
        &library, &ProductLibrary::refreshFinished, this,
        [this, names, all](ProductLibrary::RefreshOutcome outcome, const QString &message) {
            if (outcome == ProductLibrary::RefreshOutcome::refused ||
                outcome == ProductLibrary::RefreshOutcome::noAnswer) {
                m_terminal.printMessage(message);
                Q_EMIT finished(exitCodeFor(outcome));
                return;
            }
            if (const std::optional<QList<OutlineViewItem>> products = select(names, all))
                requestAll(*products);
        },
        Qt::SingleShotConnection);
    library.requestProductCommitNumber();
}

std::optional<QList<OutlineViewItem>> InstallCommand::select(const QStringList &names, bool all) {
    const QList<OutlineViewItem> &library = m_context.library().libraryProducts();
    QList<OutlineViewItem> products;
    if (all) {
        products = ProductActions::updatableProducts(library);
        if (products.isEmpty()) {
            m_terminal.printMessage(u"Every installed product is up to date."_s);
            Q_EMIT finished(ExitCode::success);
            return std::nullopt;
        }
        return products;
    }
    const ProductSelection selection = findProducts(library, names);
    for (const QString &unknown : selection.unknown)
        m_terminal.printMessage(unknownProductMessage(library, unknown));
    if (!selection.unknown.isEmpty()) {
        Q_EMIT finished(ExitCode::usageError);
        return std::nullopt;
    }
    bool refused = false;
    for (const OutlineViewItem &record : selection.products) {
        if (m_isUpdate) {
            if (const Error why = updateRefusal(record, library)) {
                m_terminal.printMessage(*why);
                refused = true;
                continue;
            }
        } else if (record.isInstalled) {
            m_terminal.printNote(u"Note: \""_s + record.product_name +
                                 u"\" is already installed (klv update reinstalls it when it has an update)."_s);
            ++m_alreadyInstalled;
            continue;
        }
        products.append(record);
    }
    // An update is all or nothing: what was confirmed is what the customer named.
    if (refused) {
        Q_EMIT finished(ExitCode::notDone);
        return std::nullopt;
    }
    m_run->setTotal(int(selection.products.size()));
    if (products.isEmpty()) {
        printSummary();
        Q_EMIT finished(ExitCode::success);
        return std::nullopt;
    }
    return products;
}

bool InstallCommand::confirm() {
    // Final Cut Pro and Motion must be closed before their folders change; the guard asks on the terminal.
    m_alerts.setAnswersYes(m_answersYes);
    ProductActions &actions = m_context.productActions();
    const bool confirmed = m_isUpdate ? actions.confirmUpdate() : actions.confirmInstall();
    m_alerts.setAnswersYes(false);
    return confirmed;
}

void InstallCommand::requestAll(const QList<OutlineViewItem> &products) {
    m_run->setTotal(qMax(m_run->total(), int(products.size())));
    if (!confirm()) {
        m_terminal.printMessage(u"Cancelled"_s);
        Q_EMIT finished(ExitCode::notDone);
        return;
    }
    watchEngine();
    m_run->start();
    // One request at a time, so the jobs queue in the order the products were named; the first job starts once
    // every product is known, so that the room they need together is checked before anything is written.
    m_toRequest = products;
    m_context.installationEngine().holdQueue();
    requestNext();
}

void InstallCommand::requestNext() {
    if (m_toRequest.isEmpty() || m_run->isCancelled())
        return;
    m_context.installationEngine().requestInstallation(m_toRequest.takeFirst(), !m_isUpdate);
}

void InstallCommand::watchEngine() {
    InstallationEngine &engine = m_context.installationEngine();
    connect(&engine, &InstallationEngine::downloadInfoHandled, this,
            [this, &engine](const QString &answered, InstallationEngine::DownloadInfoOutcome outcome,
                            const QString &message) {
                requestNext();
                if (!engine.hasRequestsInFlight() && m_toRequest.isEmpty())
                    engine.releaseQueue();
                if (outcome != InstallationEngine::DownloadInfoOutcome::accepted) {
                    m_run->countDone();
                    m_run->finishLine();
                    m_terminal.printMessage(message);
                    m_failures.append({answered, message});
                    const int code = outcome == InstallationEngine::DownloadInfoOutcome::refused
                                         ? ExitCode::storeRefused
                                         : ExitCode::noAnswer;
                    m_exitCode = qMax(m_exitCode, code);
                }
                finishIfDone();
            });
    connect(&engine, &InstallationEngine::installationRefused, this,
            [this](const QString &product, const QString &message) {
                m_run->countDone();
                // A group member installed before is a note like an installed product, not a failure.
                const QList<OutlineViewItem> &library = m_context.library().libraryProducts();
                const bool installed =
                    std::any_of(library.cbegin(), library.cend(), [&](const OutlineViewItem &record) {
                        return record.product_name == product && record.isInstalled;
                    });
                if (installed && !m_isUpdate) {
                    ++m_alreadyInstalled;
                    return;
                }
                m_refusals.append({product, message});
                m_exitCode = qMax(m_exitCode, int(ExitCode::storeRefused));
            });
    connect(&engine, &InstallationEngine::installationCompleted, this, [this](const QString &productName) {
        m_run->endJob();
        m_run->countDone();
        m_placed.append(productName);
        if (!m_asJson)
            m_terminal.printResult((m_isUpdate ? u"Updated "_s : u"Installed "_s) + productName, Terminal::Tone::good);
    });
    connect(&engine, &InstallationEngine::jobFailed, this, [this](const QString &productName, const QString &message) {
        m_run->endJob();
        m_run->countDone();
        m_failures.append({productName, message});
        if (!m_asJson)
            m_terminal.printResult(u"Failed "_s + productName, Terminal::Tone::failure);
        printPausedDownload(productName);
        m_exitCode = ExitCode::jobFailed;
    });
    connect(&engine, &InstallationEngine::libraryNotStored, this,
            [this](const QString &productName, const QString &reason) {
                m_notStored.append({productName, reason});
                if (!m_asJson)
                    m_terminal.printMessage(productName + u" is in place, but the library could not be stored ("_s +
                                                reason + u"): the next klv or window still shows it as before."_s,
                                            Terminal::Tone::failure);
                m_exitCode = ExitCode::jobFailed;
            });
    connect(&engine, &InstallationEngine::queueFinished, this, [this] { finishIfDone(); });
    connect(&engine, &InstallationEngine::sideWorkFinished, this, [this] { finishIfDone(); });
}

void InstallCommand::finishIfDone() {
    const InstallationEngine &engine = m_context.installationEngine();
    // A cancelled job ends once its workers stopped and what it placed is taken back.
    if (m_run->isCancelled()) {
        if (!engine.isBusy()) {
            printPausedDownload(m_run->jobName());
            printJsonSummary();
            Q_EMIT finished(ExitCode::cancelled);
        }
        return;
    }
    if (engine.hasRequestsInFlight() || !m_toRequest.isEmpty() || engine.isBusy() || engine.hasSideWork())
        return;
    m_run->endJob();
    printSummary();
    Q_EMIT finished(m_exitCode);
}

void InstallCommand::printSummary() const {
    if (m_asJson) {
        printJsonSummary();
        return;
    }
    if (m_run->total() < 2)
        return;
    QStringList parts{QString::number(m_placed.size()) + (m_isUpdate ? u" updated"_s : u" installed"_s)};
    if (m_alreadyInstalled > 0)
        parts << QString::number(m_alreadyInstalled) + u" already installed"_s;
    if (const qsizetype failed = m_failures.size() + m_refusals.size(); failed > 0)
        parts << QString::number(failed) + u" failed"_s;
    m_terminal.printResult(parts.join(u", "_s));
}

void InstallCommand::printPausedDownload(const QString &productName) const {
    if (productName.isEmpty())
        return;
    const qint64 kept = PartialDownload::keptBytes(m_context.services().locations().downloads(), productName);
    if (kept <= 0)
        return;
    const QString of = m_run->packageSize() > 0 ? u" of "_s + formatByteCount(m_run->packageSize()) : QString();
    m_terminal.printNote(u"Download paused at "_s + formatByteCount(kept) + of + u"; run klv "_s + name() + u' ' +
                         shellWord(productName) + u" again to resume."_s);
}

void InstallCommand::printJsonSummary() const {
    if (!m_asJson)
        return;
    const auto withReasons = [](const QList<std::pair<QString, QString>> &entries) {
        QJsonArray array;
        for (const auto &[product, reason] : entries)
            array.append(QJsonObject{{u"name"_s, product}, {u"reason"_s, reason}});
        return array;
    };
    m_terminal.printJson({{u"installed"_s, QJsonArray::fromStringList(m_placed)},
                          {u"failed"_s, withReasons(m_failures)},
                          {u"refused"_s, withReasons(m_refusals)},
                          {u"notStored"_s, withReasons(m_notStored)},
                          {u"cancelled"_s, m_run->isCancelled()}});
}

} // namespace klv::cli
