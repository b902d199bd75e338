#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace klv {

class Reporter;
class Settings;
class StoreClient;
struct StoreResponse;

// Signing in with a user name and password or with a link code; both share one answer handler.
class LoginSession final : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        signedIn,
        // The store answered but did not sign the customer in.
        refused,
        // No answer arrived (no connection, time-out, TLS failure).
        noAnswer,
        // The answer was not a JSON object.
        unreadableAnswer,
    };
    Q_ENUM(Outcome)

    // endPreviousSession signs the previous customer out (caches and settings) when another one signs in.
    LoginSession(StoreClient &store, Settings &settings, const Reporter &reporter,
                 std::function<void()> endPreviousSession, QObject *parent = nullptr);

    // False, and nothing is sent, when the user name or the password is empty.
    bool login(const QString &userName, const QString &password);
    void loginWithLinkCode(const QString &linkCode);
    void handleLoginResponse(const StoreResponse &response);

    bool loginControlsEnabled() const { return m_loginControlsEnabled; }

Q_SIGNALS:
    // The sign-in form's controls are usable (true) or wait for an answer (false).
    void loginControlsEnabledChanged(bool enabled);
    void loginCompleted();
    // Every answer ends here once, with a text fit to show the customer when it is not a success, or when the
    // success could not be stored.
    void loginFinished(klv::LoginSession::Outcome outcome, const QString &message);

private:
    void setLoginControlsEnabled(bool enabled);
    void finish(Outcome outcome, const QString &message);

    StoreClient &m_store;
    Settings &m_settings;
    const Reporter &m_reporter;
    std::function<void()> m_endPreviousSession;
    bool m_loginControlsEnabled = true;
};

} // namespace klv
