#include "cli/LogCommand.h"

#include "cli/ExitCode.h"
#include "cli/InterruptWatcher.h"
#include "cli/LogFollower.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "store/Services.h"

#include "cli/CommandArguments.h"

namespace klv::cli {

namespace {
const QString followOption = QStringLiteral("follow");
} // namespace

void LogCommand::describe(CommandArguments &arguments) const {
    arguments.addFlag(followOption, QStringLiteral("Go on showing lines as they are written."), QStringLiteral("f"));
}

void LogCommand::run(const CommandArguments &arguments) {
    auto *follower =
        new LogFollower(m_context.services().locations().logFileURL, LogFollower::Start::atBeginning, this);
    connect(follower, &LogFollower::lineWritten, this, [this](const QString &line) { m_terminal.printResult(line); });
    follower->readNewLines();
    if (!arguments.isSet(followOption)) {
        Q_EMIT finished(ExitCode::success);
        return;
    }
    // Following ends with Ctrl-C, the way the customer asked it to.
    auto *interrupts = new InterruptWatcher(this);
    connect(interrupts, &InterruptWatcher::interrupted, this, [this] { Q_EMIT finished(ExitCode::success); });
    follower->startPolling();
}

} // namespace klv::cli
