#include "cli/LoginCommand.h"

#include "cli/ExitCode.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "store/LoginSession.h"
#include "store/Services.h"

#include "cli/CommandArguments.h"

namespace klv::cli {

namespace {
const QString linkCodeOption = QStringLiteral("link-code");
const QString passwordStdinOption = QStringLiteral("password-stdin");
} // namespace

void LoginCommand::describe(CommandArguments &arguments) const {
    arguments.addPositional(QStringLiteral("USER"), QStringLiteral("The store account's user name."), 1);
    arguments.addValueOption(linkCodeOption, QStringLiteral("Sign in with a link code from the store's web site."),
                             QStringLiteral("CODE"));
    arguments.addFlag(passwordStdinOption, QStringLiteral("Read the password from the first line of standard input."));
}

std::optional<QString> LoginCommand::readPassword(const CommandArguments &arguments) const {
    if (arguments.isSet(passwordStdinOption))
        return m_terminal.readLine();
    if (!m_terminal.isInteractive()) {
        m_terminal.printMessage(QStringLiteral("No terminal to ask for the password on; use --password-stdin."));
        return std::nullopt;
    }
    return m_terminal.readSecret(QStringLiteral("Password: "));
}

void LoginCommand::watch(LoginSession &session) {
    connect(&session, &LoginSession::loginFinished, this,
            [this](LoginSession::Outcome outcome, const QString &message) {
                switch (outcome) {
                case LoginSession::Outcome::signedIn: {
                    const Settings &settings = m_context.services().settings();
                    m_terminal.printResult(u"Signed in as " + settings.userName + u" <" + settings.userEmail + u'>');
                    if (!message.isEmpty())
                        m_terminal.printMessage(message);
                    Q_EMIT finished(ExitCode::success);
                    return;
                }
                case LoginSession::Outcome::refused:
                    m_terminal.printMessage(message);
                    Q_EMIT finished(ExitCode::storeRefused);
                    return;
                case LoginSession::Outcome::noAnswer:
                case LoginSession::Outcome::unreadableAnswer:
                    m_terminal.printMessage(message);
                    Q_EMIT finished(ExitCode::noAnswer);
                    return;
                }
            });
}

void LoginCommand::run(const CommandArguments &arguments) {
    LoginSession *session = m_context.createLoginSession(this);
    watch(*session);

    if (arguments.isSet(linkCodeOption)) {
        if (!arguments.positionalArguments().isEmpty()) {
            m_terminal.printMessageLines(
                arguments.usageError(QStringLiteral("give a user name or --link-code, not both.")));
            Q_EMIT finished(ExitCode::usageError);
            return;
        }
        session->loginWithLinkCode(arguments.value(linkCodeOption));
        return;
    }

    const QStringList users = arguments.positionalArguments();
    if (users.size() != 1) {
        m_terminal.printMessageLines(arguments.usageError(QStringLiteral("give a user name or --link-code.")));
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    const std::optional<QString> password = readPassword(arguments);
    if (!session->login(users.first(), password.value_or(QString()))) {
        m_terminal.printMessage(QStringLiteral("A user name and a password are both needed; nothing was sent."));
        Q_EMIT finished(ExitCode::usageError);
    }
}

} // namespace klv::cli
