#include "cli/CliApplication.h"

#include "cli/ClaimCommand.h"
#include "cli/ClearCacheCommand.h"
#include "cli/CommandArguments.h"
#include "cli/CommandLine.h"
#include "cli/CompletionScripts.h"
#include "cli/DoctorCommand.h"
#include "cli/ExitCode.h"
#include "cli/FreeCommand.h"
#include "cli/InstallCommand.h"
#include "cli/ListCommand.h"
#include "cli/LogCommand.h"
#include "cli/LogFollower.h"
#include "cli/LoginCommand.h"
#include "cli/LogoutCommand.h"
#include "cli/ManualPage.h"
#include "cli/MenuItemCommand.h"
#include "cli/OutdatedCommand.h"
#include "cli/RefreshCommand.h"
#include "cli/RepairCommand.h"
#include "cli/RewardsCommand.h"
#include "cli/SaleCommand.h"
#include "cli/SelfUpdateCommand.h"
#include "cli/SlowStoreNotice.h"
#include "cli/UninstallCommand.h"
#include "cli/VerifyCommand.h"
#include "cli/WhoamiCommand.h"

#include "app/AppContext.h"
#include "app/DiagnosticsRoute.h"
#include "app/StartupSequence.h"
#include "app/StoreNotifications.h"
#include "core/ControlCharacters.h"
#include "core/Locations.h"
#include "library/LibraryRow.h"
#include "library/ProductCache.h"
#include "store/Services.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace klv::cli {

CliApplication::CliApplication(Terminal terminal)
    : m_terminal(std::move(terminal))
    , m_alerts(m_terminal)
    , m_context(std::make_unique<AppContext>(Configuration::fromEnvironment(), m_alerts))
    , m_diagnostics(std::make_unique<DiagnosticsRoute>(m_context->services().log(), DiagnosticsRoute::Echo::none)) {
    m_commands.push_back(std::make_unique<LoginCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<LogoutCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<WhoamiCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<RefreshCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<ListCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<OutdatedCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<InstallCommand>(*m_context, m_terminal, m_alerts, false));
    m_commands.push_back(std::make_unique<InstallCommand>(*m_context, m_terminal, m_alerts, true));
    m_commands.push_back(std::make_unique<UninstallCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<VerifyCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<RepairCommand>(*m_context, m_terminal, m_alerts));
    m_commands.push_back(std::make_unique<MenuItemCommand>(*m_context, m_terminal, MenuItemCommand::Item::learnMore));
    m_commands.push_back(
        std::make_unique<MenuItemCommand>(*m_context, m_terminal, MenuItemCommand::Item::viewInFinder));
    m_commands.push_back(std::make_unique<SaleCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<FreeCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<RewardsCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<ClaimCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<ClearCacheCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<DoctorCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<LogCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<SelfUpdateCommand>(*m_context, m_terminal));
}

CliApplication::~CliApplication() {
    // Worker steps of a cancelled job may still be winding down; they use the context.
    QThreadPool::globalInstance()->waitForDone();
}

int CliApplication::run(const QStringList &arguments) {
    CommandLine commandLine(m_commands);
    if (arguments.size() == 2) {
        if (const std::optional<QString> text = packagingText(commandLine, arguments.at(1))) {
            if (!text->isEmpty())
                m_terminal.printResultLines(*text);
            return ExitCode::success;
        }
    }
    const CommandLine::Parsed parsed = commandLine.parse(arguments.mid(1));
    switch (parsed.request) {
    case CommandLine::Request::showHelp:
        m_terminal.printResultLines(commandLine.helpText(parsed.command));
        return ExitCode::success;
    case CommandLine::Request::showVersion:
        m_terminal.printResult(u"klv " + m_context->services().configuration().appVersion);
        return ExitCode::success;
    case CommandLine::Request::usageError:
        m_terminal.printMessageLines(commandLine.usageErrorText(parsed));
        if (arguments.contains(u"--json"))
            printRefusalJson(ExitCode::usageError);
        return ExitCode::usageError;
    case CommandLine::Request::runCommand:
        break;
    }
    m_terminal.setQuiet(parsed.quiet);
    return runCommand(*parsed.command, commandLine.arguments(*parsed.command), parsed.verbose);
}

std::optional<QString> CliApplication::packagingText(const CommandLine &commandLine, const QString &request) const {
    const Configuration &configuration = m_context->services().configuration();
    if (request == u"--complete-products") {
        // Completion runs at every Tab: the cache is read as it is, nothing is started, created or logged.
        const QString cache =
            Locations::forCurrentUser(configuration.groupId, configuration.bundleId).productCacheFileURL;
        QStringList names;
        for (const OutlineViewItem &record : ProductCache::load(cache).value_or(QList<OutlineViewItem>{})) {
            // One name a line: a line break inside a name from the store stays escaped.
            const QString name = escapeControlCharacters(describeLibraryRow(record, {}).title);
            if (!name.isEmpty() && !names.contains(name))
                names.append(name);
        }
        return names.join(u'\n');
    }
    if (request == u"--manual-page")
        return manualPage(commandLine, m_commands, configuration.appVersion);
    if (request == u"--bash-completion")
        return bashCompletion(commandLine, m_commands);
    if (request == u"--zsh-completion")
        return zshCompletion(commandLine, m_commands);
    return std::nullopt;
}

void CliApplication::printRefusalJson(int exitCode) const {
    m_terminal.printJson(
        {{QStringLiteral("exitCode"), exitCode}, {QStringLiteral("error"), m_terminal.messages().join(u'\n')}});
}

int CliApplication::runCommand(Command &command, const CommandArguments &arguments, bool verbose) {
    const bool asJson = arguments.isSet(QStringLiteral("json"));
    const QString identifiers = m_context->services().configuration().identifierProblem();
    if (command.needsStore() || !identifiers.isEmpty()) {
        if (const QString problem = m_context->services().configuration().storeProblem(); !problem.isEmpty()) {
            m_terminal.printMessageLines(problem);
            if (asJson)
                printRefusalJson(ExitCode::usageError);
            return ExitCode::usageError;
        }
    }

    std::unique_ptr<LogFollower> logLines;
    if (verbose) {
        logLines =
            std::make_unique<LogFollower>(m_context->services().locations().logFileURL, LogFollower::Start::atEnd);
        QObject::connect(logLines.get(), &LogFollower::lineWritten, logLines.get(),
                         [this](const QString &line) { m_terminal.printMessage(u"log: " + line); });
        logLines->startPolling();
    }

    std::unique_ptr<SlowStoreNotice> slowStore;
    if (command.needsStore())
        slowStore = std::make_unique<SlowStoreNotice>(m_context->services().network(), m_context->services().store(),
                                                      m_terminal);
    // A command is over in moments: the updater is fetched by self-update, when it is needed.
    runStartupSequence(*m_context, QCoreApplication::arguments(), UpdaterFetch::onDemand);

    int exitCode = ExitCode::success;
    bool done = false;
    StoreNotifications &notifications = m_context->notifications();
    QObject::connect(&command, &Command::finished, &command, [&exitCode, &done, &notifications, &command](int code) {
        exitCode = code;
        done = true;
        // A notification posted on the way reaches the notification service before the program ends.
        if (notifications.isPosting()) {
            QObject::connect(
                &notifications, &StoreNotifications::postingFinished, &command,
                [code] { QCoreApplication::exit(code); }, Qt::SingleShotConnection);
            return;
        }
        QCoreApplication::exit(code);
    });
    command.run(arguments);
    if (!done || notifications.isPosting())
        QCoreApplication::exec();
    if (logLines)
        logLines->readNewLines();
    if (asJson && exitCode != ExitCode::success && !m_terminal.printedJson())
        printRefusalJson(exitCode);
    return exitCode;
}

} // namespace klv::cli
