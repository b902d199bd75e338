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

// The klv program: picks the subcommand, runs the start-up sequence, then the command on the event loop.
class CliApplication final {
public:
    explicit CliApplication(Terminal terminal);
    ~CliApplication();
    Q_DISABLE_COPY_MOVE(CliApplication)

    // Returns the exit code; needs a QCoreApplication.
    int run(const QStringList &arguments);

private:
    QString helpText() const;
    Command *findCommand(const QString &name) const;
    int runCommand(Command &command, const QStringList &commandArguments);

    Terminal m_terminal;
    TerminalAlerts m_alerts;
    std::unique_ptr<AppContext> m_context;
    std::vector<std::unique_ptr<Command>> m_commands;
};

} // namespace klv::cli
