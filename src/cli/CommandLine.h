#pragma once

#include "cli/CommandArguments.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace CLI {
class App;
class Formatter;
} // namespace CLI

namespace klv::cli {

class Command;

// klv's command line: the commands as subcommands with their options, `klv help COMMAND`, and the help texts.
class CommandLine final {
public:
    explicit CommandLine(const std::vector<std::unique_ptr<Command>> &commands);
    ~CommandLine();
    Q_DISABLE_COPY_MOVE(CommandLine)

    enum class Request { runCommand, showHelp, showVersion, usageError };
    struct Parsed {
        Request request = Request::usageError;
        // The command to run or whose help to show; null for klv's own help.
        Command *command = nullptr;
        // What is wrong with a usage error, empty when nothing was asked for.
        QString problem;
        // --quiet and --verbose, given before the command or after it.
        bool quiet = false;
        bool verbose = false;
    };

    // The arguments without the program's name.
    Parsed parse(const QStringList &arguments);
    // What a usage error prints: the problem, then how the command is used.
    QString usageErrorText(const Parsed &parsed) const;
    // klv --help, or klv COMMAND --help when command is not null.
    QString helpText(const Command *command) const;
    // The command's options as parsed.
    const CommandArguments &arguments(const Command &command) const;

    struct ExitCodeMeaning {
        int code;
        QString meaning;
    };
    // What klv's exit codes mean, as help and the manual page say it.
    static QList<ExitCodeMeaning> exitCodeMeanings();

private:
    struct Entry {
        Command *command;
        CLI::App *subcommand;
        CommandArguments arguments;
    };

    const Entry *find(const QString &name) const;
    bool isSetAnywhere(const Command &command, const QString &option) const;
    const Entry &entry(const Command &command) const;
    QString overview() const;
    QString unknownCommandProblem(const QString &typed) const;
    // Every option the command takes (klv's own options without one), for suggestions.
    QStringList optionNames(const Command *command) const;

    std::unique_ptr<CLI::App> m_app;
    std::shared_ptr<CLI::Formatter> m_formatter;
    std::vector<Entry> m_entries;
};

} // namespace klv::cli
