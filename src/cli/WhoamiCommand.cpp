#include "cli/WhoamiCommand.h"

#include "cli/ExitCode.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "store/Services.h"

#include "cli/CommandArguments.h"
#include <QJsonObject>

namespace klv::cli {

namespace {
const QString jsonOption = QStringLiteral("json");
} // namespace

void WhoamiCommand::describe(CommandArguments &arguments) const {
    arguments.addFlag(jsonOption, QStringLiteral("Print the customer as one JSON object."));
}

void WhoamiCommand::run(const CommandArguments &arguments) {
    const Settings &settings = m_context.services().settings();
    if (arguments.isSet(jsonOption)) {
        QJsonObject customer{{QStringLiteral("signedIn"), settings.sessionActive}};
        if (settings.sessionActive) {
            customer.insert(QStringLiteral("name"), settings.userName);
            customer.insert(QStringLiteral("email"), settings.userEmail);
        }
        m_terminal.printJson(customer);
    } else if (settings.sessionActive) {
        m_terminal.printResult(settings.userName);
        m_terminal.printResult(settings.userEmail);
    } else {
        m_terminal.printResult(QStringLiteral("signed out"));
    }
    // Scripts can ask "am I signed in?" by the exit code alone.
    Q_EMIT finished(settings.sessionActive ? ExitCode::success : ExitCode::notSignedIn);
}

} // namespace klv::cli
