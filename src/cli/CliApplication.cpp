#include "CliApplication.h"

#include "ClaimCommand.h"
#include "ClearCacheCommand.h"
#include "DoctorCommand.h"
#include "ExitCode.h"
#include "FreeCommand.h"
#include "InstallCommand.h"
#include "ListCommand.h"
#include "LogCommand.h"
#include "LogFollower.h"
#include "LoginCommand.h"
#include "LogoutCommand.h"
#include "MenuItemCommand.h"
#include "OutdatedCommand.h"
#include "RefreshCommand.h"
#include "RewardsCommand.h"
#include "SaleCommand.h"
#include "SelfUpdateCommand.h"
#include "UninstallCommand.h"
#include "WhoamiCommand.h"

#include "app/AppContext.h"
#include "app/StartupSequence.h"
#include "app/StoreNotifications.h"
#include "store/Services.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThreadPool>

namespace klv::cli {

CliApplication::CliApplication(Terminal terminal)
    : m_terminal(std::move(terminal))
    , m_alerts(m_terminal)
    , m_context(std::make_unique<AppContext>(Configuration::fromEnvironment(), m_alerts)) {
    m_commands.push_back(std::make_unique<LoginCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<LogoutCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<WhoamiCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<RefreshCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<ListCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<OutdatedCommand>(*m_context, m_terminal));
    m_commands.push_back(std::make_unique<InstallCommand>(*m_context, m_terminal, m_alerts, false));
    m_commands.push_back(std::make_unique<InstallCommand>(*m_context, m_terminal, m_alerts, true));
    m_commands.push_back(std::make_unique<UninstallCommand>(*m_context, m_terminal));
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

QString CliApplication::helpText() const {
    QString text = QStringLiteral("Usage: klv [--help] [--version] COMMAND [OPTIONS]\n\n"
                                  "The KLV App from a terminal: your store account and your products.\n\nCommands:\n");
    for (const auto &command : m_commands)
        text += QStringLiteral("  %1 %2\n").arg(command->name(), -10).arg(command->summary());
    text += QStringLiteral("\n'klv COMMAND --help' shows a command's options. Every command takes --quiet (no\n"
                           "progress, no notes) and --verbose (the log's lines as they are written).\n"
                           "Exit codes: 0 success, 1 refused (by the store, at a question, or by the\n"
                           "product's state), 2 usage error, 3 no answer from the store, 4 an installation\n"
                           "job failed, 130 cancelled with Ctrl-C, SIGTERM or SIGHUP.");
    return text;
}

Command *CliApplication::findCommand(const QString &name) const {
    for (const auto &command : m_commands) {
        if (command->name() == name)
            return command.get();
    }
    return nullptr;
}

int CliApplication::run(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show help."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version."));
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run."));
    if (!parser.parse(arguments)) {
        m_terminal.printMessageLines(parser.errorText() + u"\n\n" + helpText());
        return ExitCode::usageError;
    }
    if (parser.isSet(versionOption)) {
        m_terminal.printResult(u"klv " + m_context->services().configuration().appVersion);
        return ExitCode::success;
    }
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(helpOption)) {
        m_terminal.printResultLines(helpText());
        return ExitCode::success;
    }
    if (positional.isEmpty()) {
        m_terminal.printMessageLines(helpText());
        return ExitCode::usageError;
    }
    Command *command = findCommand(positional.first());
    if (!command) {
        m_terminal.printMessageLines(u"Unknown command \"" + positional.first() + u"\".\n\n" + helpText());
        return ExitCode::usageError;
    }
    return runCommand(*command, QStringList{arguments.value(0) + u' ' + command->name()} + positional.mid(1));
}

int CliApplication::runCommand(Command &command, const QStringList &commandArguments) {
    QCommandLineParser parser;
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show help."));
    const QCommandLineOption quietOption({QStringLiteral("q"), QStringLiteral("quiet")},
                                         QStringLiteral("Print results and errors only: no progress, no notes."));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("Also show the log's lines as they are written."));
    parser.addOption(helpOption);
    parser.addOption(quietOption);
    parser.addOption(verboseOption);
    parser.setApplicationDescription(command.summary());
    command.describe(parser);
    if (!parser.parse(commandArguments)) {
        m_terminal.printMessageLines(parser.errorText() + u"\n\n" + parser.helpText());
        return ExitCode::usageError;
    }
    if (parser.isSet(helpOption)) {
        m_terminal.printResultLines(
            parser.helpText().replace(commandArguments.first().section(u' ', 0, 0), u"klv " + command.name()));
        return ExitCode::success;
    }
    if (command.needsStore()) {
        if (const QString problem = m_context->services().configuration().storeUrlProblem(); !problem.isEmpty()) {
            m_terminal.printMessage(problem);
            return ExitCode::usageError;
        }
    }

    m_terminal.setQuiet(parser.isSet(quietOption));
    std::unique_ptr<LogFollower> logLines;
    if (parser.isSet(verboseOption)) {
        logLines =
            std::make_unique<LogFollower>(m_context->services().locations().logFileURL, LogFollower::Start::atEnd);
        QObject::connect(logLines.get(), &LogFollower::lineWritten, logLines.get(),
                         [this](const QString &line) { m_terminal.printMessage(u"log: " + line); });
        logLines->startPolling();
    }

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
    command.run(parser);
    if (!done || notifications.isPosting())
        QCoreApplication::exec();
    if (logLines)
        logLines->readNewLines();
    return exitCode;
}

} // namespace klv::cli
