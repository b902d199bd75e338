#pragma once

#include "controls/InfoPopover.h"
#include "login/LoginSeperationBox.h"

#include "store/LoginSession.h"

#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace klv {
class AppContext;
}

namespace klv::ui {

class KLVInfoButton;
class KLVToggleButton2;

// The login panel shown while the customer is signed out: user name and password (shown or hidden with the eye
// button) or a link code from the store's web site. The fields wait while a request runs and are usable again
// after any answer but a success, with what was typed kept and the reason shown under the button that sent it.
class StoreLogin : public LoginSeperationBox {
    Q_OBJECT

public:
    explicit StoreLogin(AppContext &context, QWidget *parent = nullptr);

    // The user-name field, both password fields' owner, the two sign-in buttons and the link-code field.
    void setLoginControlsEnabled(bool enabled);
    // "Version: " and the installed version; the main window calls it once the panel is placed.
    void prepareVersionLabel();
    // Puts the keyboard in the account field, where signing in starts.
    void focusAccountField();

Q_SIGNALS:
    // The customer is signed in and the session is stored.
    void loginCompleted();

private:
    void buildLayout();
    void startSession();
    void login();
    void loginWithLinkCode();
    void registerBtn_click();
    void togglePasswordVisibility();
    void DisplayButtonInfo_BtnClick(const KLVInfoButton &sender);
    void loginFinished(LoginSession::Outcome outcome, const QString &message);
    void clearReasons();
    QString typedPassword() const;

    AppContext &context;
    LoginSession *session = nullptr;
    QLabel *versionLabel;
    QLineEdit *userName_TxtFld;
    QLineEdit *password_STxtFld;
    QLineEdit *password_TxtFld;
    KLVToggleButton2 *passwordEye;
    QPushButton *loginButton;
    QLineEdit *linkCode_TxtFld;
    QPushButton *loginWithLinkCode_Btn;
    QPushButton *registerButton;
    // Each way of signing in says why it failed beside its own fields.
    QLabel *statusLabel;
    QLabel *linkCodeStatusLabel;
    QLabel *answeredBy = nullptr;
    bool isHidePassword = true;
    // Where the customer was when the request went out; a refusal brings the focus back there.
    QPointer<QWidget> focusBeforeRequest;
    InfoPopover popOver;
};

} // namespace klv::ui
