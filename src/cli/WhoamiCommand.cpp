#include "WhoamiCommand.h"

#include "ExitCode.h"
#include "Terminal.h"

#include "app/AppContext.h"
#include "store/Services.h"

namespace klv::cli {

void WhoamiCommand::run(const QCommandLineParser &) {
    const Settings &settings = m_context.services().settings();
    if (settings.sessionActive) {
        m_terminal.printResult(settings.userName);
        m_terminal.printResult(settings.userEmail);
    } else {
        m_terminal.printResult(QStringLiteral("signed out"));
    }
    Q_EMIT finished(ExitCode::success);
}

} // namespace klv::cli
