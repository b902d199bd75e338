#include "cli/LogoutCommand.h"

#include "cli/ExitCode.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"

namespace klv::cli {

void LogoutCommand::run(const CommandArguments &) {
    m_context.signOut();
    m_terminal.printResult(QStringLiteral("Signed out."));
    Q_EMIT finished(ExitCode::success);
}

} // namespace klv::cli
