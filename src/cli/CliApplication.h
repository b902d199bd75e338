#pragma once

#include "Terminal.h"
#include "TerminalAlerts.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace klv {
class AppContext;
}

namespace klv::cli {

class Command;
class CommandArguments;

// The klv program: picks the subcommand, runs the start-up sequence, then the command on the event loop.
class CliApplication final {
public:
    explicit CliApplication(Terminal terminal);
    ~CliApplication();
    Q_DISABLE_COPY_MOVE(CliApplication)

    // Returns the exit code; needs a QCoreApplication.
    int run(const QStringList &arguments);

private:
    int runCommand(Command &command, const CommandArguments &arguments, bool verbose);

    Terminal m_terminal;
    TerminalAlerts m_alerts;
    std::unique_ptr<AppContext> m_context;
    std::vector<std::unique_ptr<Command>> m_commands;
};

} // namespace klv::cli
