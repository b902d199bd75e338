#pragma once

#include "cli/Terminal.h"
#include "cli/TerminalAlerts.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace klv {
class AppContext;
class DiagnosticsRoute;
} // namespace klv

namespace klv::cli {

class Command;
class CommandArguments;
class CommandLine;

// The klv program: picks the subcommand, runs the start-up sequence, then the command on the event loop.
class CliApplication final {
public:
    explicit CliApplication(Terminal terminal);
    ~CliApplication();
    Q_DISABLE_COPY_MOVE(CliApplication)

    // Returns the exit code; needs a QCoreApplication.
    int run(const QStringList &arguments);

private:
    // What packaging and shell completion ask of klv (hidden from help): --complete-products (the cached library's
    // names, one a line), --manual-page, --bash-completion, --zsh-completion. Nothing for other arguments.
    std::optional<QString> packagingText(const CommandLine &commandLine, const QString &request) const;
    int runCommand(Command &command, const CommandArguments &arguments, bool verbose);
    // What --json prints for a command that ended without its result: the exit code and the messages.
    void printRefusalJson(int exitCode) const;

    Terminal m_terminal;
    TerminalAlerts m_alerts;
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<DiagnosticsRoute> m_diagnostics;
    std::vector<std::unique_ptr<Command>> m_commands;
};

} // namespace klv::cli
