#include "cli/CommandLine.h"

#include "cli/Command.h"
#include "cli/ExitCode.h"
#include "cli/NameSuggestion.h"
#include "cli/WordWrap.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace klv::cli {

namespace {

// Option names and their values take this many columns of a command's help; descriptions wrap in the rest.
constexpr int optionColumnWidth = 80 - CommandArguments::descriptionWidth;
const QString helpCommand = QStringLiteral("help");
const QString quietOption = QStringLiteral("quiet");
const QString verboseOption = QStringLiteral("verbose");

bool isOption(const QString &argument) {
    return argument.startsWith(u'-');
}

// Names each argument nobody took, in the order given (CLI11's own message lists them backwards), with the option
// an unknown one most likely meant.
QString strayArgumentsProblem(const std::vector<std::string> &strays, const QStringList &optionNames) {
    QStringList problems;
    for (const std::string &stray : strays) {
        const QString argument = QString::fromStdString(stray);
        if (!isOption(argument)) {
            problems.append(u"unexpected argument \"" + argument + u'"');
            continue;
        }
        const QString suggestion = suggestName(argument.section(u'=', 0, 0), optionNames);
        problems.append(u"unknown option " + argument +
                        (suggestion.isEmpty() ? QString() : QString(u" (did you mean " + suggestion + u"?)")));
    }
    return problems.join(u"; ") + u'.';
}

} // namespace

CommandLine::CommandLine(const std::vector<std::unique_ptr<Command>> &commands)
    : m_app(std::make_unique<CLI::App>(std::string(), "klv"))
    , m_formatter(std::make_shared<CLI::Formatter>()) {
    m_formatter->column_width(optionColumnWidth);
    m_app->formatter(m_formatter);
    m_app->set_help_flag("-h,--help", "Show help.");
    const std::string versionDescription = "Show the version.";
    m_app->add_flag("-v,--version", versionDescription);
    m_app->add_flag("-q,--quiet");
    m_app->add_flag("--verbose");
    m_app->require_subcommand(0, 1);
    m_entries.reserve(commands.size());
    for (const auto &command : commands) {
        CLI::App *subcommand = m_app->add_subcommand(command->name().toStdString(), command->summary().toStdString());
        Entry &added = m_entries.emplace_back(Entry{command.get(), subcommand, CommandArguments(*subcommand)});
        added.arguments.addFlag(quietOption, QStringLiteral("Print results and errors only: no progress, no notes."),
                                QStringLiteral("q"));
        added.arguments.addFlag(verboseOption, QStringLiteral("Also show the log's lines as they are written."));
        command->describe(added.arguments);
    }
}

CommandLine::~CommandLine() = default;

const CommandLine::Entry *CommandLine::find(const QString &name) const {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&name](const Entry &candidate) { return candidate.command->name() == name; });
    return found == m_entries.end() ? nullptr : &*found;
}

const CommandLine::Entry &CommandLine::entry(const Command &command) const {
    return *find(command.name());
}

bool CommandLine::isSetAnywhere(const Command &command, const QString &option) const {
    return m_app->count(QString(u"--" + option).toStdString()) > 0 || arguments(command).isSet(option);
}

const CommandArguments &CommandLine::arguments(const Command &command) const {
    return entry(command).arguments;
}

CommandLine::Parsed CommandLine::parse(const QStringList &arguments) {
    if (arguments.value(0) == helpCommand) {
        if (arguments.size() == 1)
            return {Request::showHelp, nullptr, {}};
        const Entry *named = find(arguments.at(1));
        if (arguments.size() > 2 || !named)
            return {Request::usageError, nullptr,
                    arguments.size() > 2 ? QStringLiteral("klv help takes one command name.")
                                         : unknownCommandProblem(arguments.at(1))};
        return {Request::showHelp, named->command, {}};
    }

    // The first word that is not an option names the command; CLI11 would call an unknown one a stray argument.
    const auto commandName = std::find_if_not(arguments.begin(), arguments.end(), isOption);
    const Entry *named = commandName == arguments.end() ? nullptr : find(*commandName);
    if (commandName != arguments.end() && !named)
        return {Request::usageError, nullptr, unknownCommandProblem(*commandName)};
    Command *command = named ? named->command : nullptr;

    std::vector<std::string> reversed;
    for (auto argument = arguments.rbegin(); argument != arguments.rend(); ++argument)
        reversed.push_back(argument->toStdString());
    try {
        m_app->parse(reversed);
    } catch (const CLI::ExtrasError &) {
        return {Request::usageError, command, strayArgumentsProblem(m_app->remaining(true), optionNames(command))};
    } catch (const CLI::CallForHelp &) {
        return {Request::showHelp, command, {}};
    } catch (const CLI::RequiredError &error) {
        return {Request::usageError, command, QString::fromStdString(error.what()) + u'.'};
    } catch (const CLI::ParseError &error) {
        return {Request::usageError, command, QString::fromStdString(error.what())};
    }
    if (m_app->count("--version") > 0)
        return {Request::showVersion, nullptr, {}};
    if (!command)
        return {Request::usageError, nullptr, {}};
    return {
        Request::runCommand, command, {}, isSetAnywhere(*command, quietOption), isSetAnywhere(*command, verboseOption)};
}

QString CommandLine::usageErrorText(const Parsed &parsed) const {
    if (!parsed.command)
        return parsed.problem.isEmpty() ? overview()
                                        : parsed.problem + u"\nRun 'klv --help' for the commands and their options.";
    return arguments(*parsed.command).usageError(parsed.problem);
}

QString CommandLine::unknownCommandProblem(const QString &typed) const {
    QStringList names{helpCommand};
    for (const Entry &listed : m_entries)
        names.append(listed.command->name());
    const QString suggestion = suggestName(typed, names);
    return u"Unknown command \"" + typed + u"\"." +
           (suggestion.isEmpty() ? QString() : QString(u" Did you mean \"" + suggestion + u"\"?"));
}

QStringList CommandLine::optionNames(const Command *command) const {
    QStringList names{QStringLiteral("--help"), QStringLiteral("--version"), QStringLiteral("--quiet"),
                      QStringLiteral("--verbose")};
    if (command) {
        for (const CommandArguments::Option &option : arguments(*command).options())
            names.append(option.names);
    }
    return names;
}

QString CommandLine::helpText(const Command *command) const {
    if (!command)
        return overview();
    return QString::fromStdString(entry(*command).subcommand->help("klv")).trimmed();
}

QString CommandLine::overview() const {
    QStringList names{helpCommand};
    for (const Entry &listed : m_entries)
        names.append(listed.command->name());
    const qsizetype nameWidth = std::max_element(names.begin(), names.end(), [](const QString &a, const QString &b) {
                                    return a.size() < b.size();
                                })->size();
    const int indent = static_cast<int>(nameWidth) + 4;

    QString text = QStringLiteral("Usage: klv [--help] [--version] COMMAND [OPTIONS]\n\n"
                                  "The KLV App from a terminal: your store account and your products.\n\nCommands:\n");
    const auto addLine = [&text, nameWidth, indent](const QString &name, const QString &summary) {
        const QString wrapped = wordWrap(summary, 80 - indent).replace(u'\n', u'\n' + QString(indent, u' '));
        text += u"  " + name.leftJustified(nameWidth) + u"  " + wrapped + u'\n';
    };
    for (const Entry &listed : m_entries)
        addLine(listed.command->name(), listed.command->summary());
    addLine(helpCommand, QStringLiteral("Show a command's options: klv help COMMAND."));
    text += QStringLiteral("\n'klv COMMAND --help' shows a command's options. Every command takes --quiet (no\n"
                           "progress, no notes) and --verbose (the log's lines as they are written).\n");
    QStringList codes;
    for (const ExitCodeMeaning &code : exitCodeMeanings())
        codes.append(QString::number(code.code) + u' ' + code.meaning);
    text += wordWrap(u"Exit codes: " + codes.join(u", ") + u'.', 80);
    return text;
}

QList<CommandLine::ExitCodeMeaning> CommandLine::exitCodeMeanings() {
    return {
        {ExitCode::success, QStringLiteral("success (also: products already installed)")},
        {ExitCode::storeRefused,
         QStringLiteral("refused (by the store, at a question, or by the product's state), a doctor "
                        "check failed, or verify found an installed product that differs")},
        {ExitCode::usageError, QStringLiteral("usage error, or a store address or key that cannot be used")},
        {ExitCode::noAnswer, QStringLiteral("no answer from the store")},
        {ExitCode::jobFailed, QStringLiteral("an installation job failed")},
        {ExitCode::notSignedIn, QStringLiteral("not signed in (klv login first)")},
        {ExitCode::cancelled, QStringLiteral("cancelled with Ctrl-C, SIGTERM or SIGHUP")},
    };
}

} // namespace klv::cli
