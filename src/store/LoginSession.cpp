#include "store/LoginSession.h"

#include "core/Settings.h"
#include "store/JsonDecoding.h"
#include "store/LenientJson.h"
#include "store/Reporter.h"
#include "store/StoreClient.h"

namespace klv {

LoginSession::LoginSession(StoreClient &store, Settings &settings, const Reporter &reporter,
                           std::function<void()> endPreviousSession, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_settings(settings)
    , m_reporter(reporter)
    , m_endPreviousSession(std::move(endPreviousSession)) {}

bool LoginSession::login(const QString &userName, const QString &password) {
    if (userName.isEmpty() || password.isEmpty())
        return false;
    setLoginControlsEnabled(false);
    m_store.send(StoreEndpoint::accountInfo, QStringLiteral("userLogin"), {userName, password}, this,
                 [this](const StoreResponse &response) { handleLoginResponse(response); });
    return true;
}

void LoginSession::loginWithLinkCode(const QString &linkCode) {
    m_store.send(StoreEndpoint::accountInfo, QStringLiteral("linkCode"), {linkCode}, this,
                 [this](const StoreResponse &response) { handleLoginResponse(response); });
    setLoginControlsEnabled(true);
}

void LoginSession::handleLoginResponse(const StoreResponse &response) {
    if (!response.hasBody) {
        m_reporter.appendLog(u"KLV App Error: no answer to the sign-in request: " + response.transportError);
        // The form would otherwise stay disabled until the next start.
        finish(Outcome::noAnswer, u"The store could not be reached: " + response.transportError);
        return;
    }
    const std::optional<QJsonObject> answer = decodeJSONObject(response.body, m_reporter.log());
    if (!answer) {
        m_reporter.appendLog(u"Error while try to jsonserialize Login Info " +
                             m_store.endpointAddress(StoreEndpoint::accountInfo));
        finish(Outcome::unreadableAnswer, QStringLiteral("The store's answer could not be read."));
        return;
    }

    // Only the boolean true signs in; a success without name or e-mail is not one.
    const QJsonValue status = answer->value(u"status");
    const std::optional<QString> name = json::toText(answer->value(u"name"));
    const std::optional<QString> email = json::toText(answer->value(u"email"));
    if (!status.isBool() || !status.toBool() || !name || !email) {
        m_reporter.appendLog(QStringLiteral("KLV App Error: Login failed, the store did not sign the customer in"));
        finish(Outcome::refused, QStringLiteral("The store did not accept the sign-in."));
        return;
    }

    // The cached library and commit number belong to the customer signed in so far: another customer starts
    // from a clean session, as after a sign-out. The same customer keeps them.
    if (m_settings.sessionActive && m_settings.userEmail != *email)
        m_endPreviousSession();
    m_settings.userName = *name;
    m_settings.userEmail = *email;
    m_settings.sessionActive = true;
    QString problem;
    if (const Error error = m_settings.saveSettings()) {
        problem = u"The sign-in could not be remembered for the next start: " + *error;
        m_reporter.appendLog(problem);
    }
    Q_EMIT loginCompleted();
    setLoginControlsEnabled(false);
    Q_EMIT loginFinished(Outcome::signedIn, problem);
}

void LoginSession::finish(Outcome outcome, const QString &message) {
    setLoginControlsEnabled(true);
    Q_EMIT loginFinished(outcome, message);
}

void LoginSession::setLoginControlsEnabled(bool enabled) {
    if (m_loginControlsEnabled == enabled)
        return;
    m_loginControlsEnabled = enabled;
    Q_EMIT loginControlsEnabledChanged(enabled);
}

} // namespace klv
