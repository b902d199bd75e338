#include "login/StoreLogin.h"

#include "controls/KLVInfoButton.h"
#include "controls/KLVPopupViewController.h"
#include "controls/KLVToggleButton2.h"
#include "controls/SvgImageView.h"
#include "login/LoginSeperationLine.h"
#include "style/FormStyle.h"
#include "style/StockWidgets.h"
#include "style/Theme.h"

#include "app/AppContext.h"
#include "store/DesktopServices.h"
#include "store/Services.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace klv::ui {

using namespace Qt::StringLiterals;

namespace {

constexpr QSize panelSize{440, 580};
constexpr int eyeSize = 22;

} // namespace

StoreLogin::StoreLogin(AppContext &appContext, QWidget *parent)
    : LoginSeperationBox(parent)
    , context(appContext)
    , versionLabel(makeLabel({}, NamedColor::textSecondary, this))
    , userName_TxtFld(new QLineEdit(this))
    , password_STxtFld(new QLineEdit(this))
    , password_TxtFld(new QLineEdit(this))
    , passwordEye(new KLVToggleButton2(this))
    , loginButton(makeButton(tr("Sign In"), "primary", this))
    , linkCode_TxtFld(new QLineEdit(this))
    , loginWithLinkCode_Btn(makeButton(tr("Use Link Code"), "secondary", this))
    , registerButton(makeButton(tr("Create an account"), "link", this))
    , statusLabel(makeLabel({}, NamedColor::danger, this))
    , linkCodeStatusLabel(makeLabel({}, NamedColor::danger, this))
    , popOver(this, PopoverLinks::firstHttpsAddress) {
    setObjectName(u"StoreLogin"_s);
    setFixedSize(panelSize);
    setBgColor(theme::color(NamedColor::accountSettingSectionBG));
    setDrawBG(true);
    setBdColor(theme::color(NamedColor::separator));
    setDrawBorder(true);
    setCorner(16);
    setLook(*this, "form");
    buildLayout();

    connect(loginButton, &QPushButton::clicked, this, &StoreLogin::login);
    connect(userName_TxtFld, &QLineEdit::returnPressed, this, &StoreLogin::login);
    connect(password_STxtFld, &QLineEdit::returnPressed, this, &StoreLogin::login);
    connect(password_TxtFld, &QLineEdit::returnPressed, this, &StoreLogin::login);
    connect(loginWithLinkCode_Btn, &QPushButton::clicked, this, &StoreLogin::loginWithLinkCode);
    connect(linkCode_TxtFld, &QLineEdit::returnPressed, this, &StoreLogin::loginWithLinkCode);
    connect(registerButton, &QPushButton::clicked, this, &StoreLogin::registerBtn_click);
    connect(passwordEye, &KLVToggleButton2::clicked, this, &StoreLogin::togglePasswordVisibility);

    startSession();
    prepareVersionLabel();
}

void StoreLogin::buildLayout() {
    auto *title = makeLabel(tr("Sign in to KLV App"), NamedColor::textPrimary, this, NamedFont::panelTitle);
    auto *subtitle = makeLabel(tr("Sign in with your Vantory store account."), NamedColor::textSecondary, this);
    subtitle->setWordWrap(true);
    subtitle->setAlignment(Qt::AlignCenter);

    userName_TxtFld->setPlaceholderText(tr("User name or e-mail"));
    userName_TxtFld->setAccessibleName(tr("User name"));
    for (QLineEdit *password : {password_STxtFld, password_TxtFld}) {
        password->setPlaceholderText(tr("Password"));
        password->setAccessibleName(tr("Password"));
        // The eye button sits inside the field, over its right end.
        password->setTextMargins(0, 0, eyeSize + 6, 0);
    }
    password_STxtFld->setEchoMode(QLineEdit::Password);
    password_TxtFld->hide();
    passwordEye->setPrimaryIcon(u":/icons/eye.svg"_s);
    passwordEye->setSecondaryIcon(u":/icons/eye.slash.fill.svg"_s);
    passwordEye->setFixedSize(eyeSize, eyeSize);
    passwordEye->setAccessibleName(tr("Show password"));
    linkCode_TxtFld->setPlaceholderText(tr("Link code"));
    linkCode_TxtFld->setAccessibleName(tr("Link code"));
    for (QLabel *status : {statusLabel, linkCodeStatusLabel}) {
        status->setWordWrap(true);
        status->setAlignment(Qt::AlignCenter);
        // A line is kept for the reason whether or not one shows: the form does not jump when it comes and goes.
        status->setMinimumHeight(status->fontMetrics().lineSpacing());
        QSizePolicy policy = status->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        status->setSizePolicy(policy);
        status->hide();
    }
    versionLabel->setAlignment(Qt::AlignCenter);
    registerButton->setAccessibleDescription(tr("Opens the store's account page in the browser"));

    auto *accountInfo = KLVInfoButton::make(tr("About your account"),
                                            tr("Sign in with the user name (or e-mail address) and the password\\n"
                                               "of your account on the Vantory store."),
                                            this);
    auto *linkCodeInfo = KLVInfoButton::make(
        tr("About link codes"),
        tr("A link code signs you in without typing your password.\\nSign in on the store's web site, open My "
           "Account and copy the code shown there:\\n") +
            context.services().configuration().storeUrl + u"/my-account/"_s,
        this);
    for (KLVInfoButton *info : {accountInfo, linkCodeInfo})
        connect(info, &KLVInfoButton::clicked, this, [this, info] { DisplayButtonInfo_BtnClick(*info); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 36, 40, 24);
    layout->setSpacing(0);
    auto *logo = new SvgImageView(u":/icons/logo.svg"_s, this);
    logo->setFixedSize(56, 56);
    layout->addWidget(logo, 0, Qt::AlignHCenter);
    layout->addSpacing(14);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addSpacing(6);
    layout->addWidget(subtitle);
    layout->addSpacing(26);

    const auto addFieldHeading = [&](const QString &text, KLVInfoButton *info) {
        auto *row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(makeLabel(text, NamedColor::textSecondary, this));
        if (info)
            row->addWidget(info);
        row->addStretch();
        layout->addLayout(row);
        layout->addSpacing(6);
    };
    addFieldHeading(tr("Account"), accountInfo);
    layout->addWidget(userName_TxtFld);
    layout->addSpacing(10);
    // Both password fields share one place; the eye sits over their right end.
    auto *passwordCell = new QGridLayout;
    passwordCell->addWidget(password_STxtFld, 0, 0);
    passwordCell->addWidget(password_TxtFld, 0, 0);
    auto *eyeRow = new QHBoxLayout;
    eyeRow->setContentsMargins(0, 0, 8, 0);
    eyeRow->addStretch();
    eyeRow->addWidget(passwordEye);
    passwordCell->addLayout(eyeRow, 0, 0);
    layout->addLayout(passwordCell);
    layout->addSpacing(16);
    layout->addWidget(loginButton);
    layout->addSpacing(8);
    layout->addWidget(statusLabel);
    layout->addSpacing(18);

    auto *divider = new QHBoxLayout;
    divider->setSpacing(12);
    auto *leftLine = new LoginSeperationLine(this);
    auto *rightLine = new LoginSeperationLine(this);
    for (LoginSeperationLine *line : {leftLine, rightLine}) {
        line->setLineColor(theme::color(NamedColor::separator));
        line->setThick(1);
    }
    divider->addWidget(leftLine, 1);
    divider->addWidget(makeLabel(tr("or"), NamedColor::textSecondary, this));
    divider->addWidget(rightLine, 1);
    layout->addLayout(divider);
    layout->addSpacing(18);

    addFieldHeading(tr("Link code"), linkCodeInfo);
    auto *linkRow = new QHBoxLayout;
    linkRow->setSpacing(10);
    linkRow->addWidget(linkCode_TxtFld, 1);
    linkRow->addWidget(loginWithLinkCode_Btn);
    layout->addLayout(linkRow);
    layout->addSpacing(8);
    layout->addWidget(linkCodeStatusLabel);
    layout->addStretch(1);

    auto *registerRow = new QHBoxLayout;
    registerRow->addStretch();
    registerRow->addWidget(makeLabel(tr("New to Vantory?"), NamedColor::textSecondary, this));
    registerRow->addWidget(registerButton);
    registerRow->addStretch();
    layout->addLayout(registerRow);
    layout->addSpacing(10);
    layout->addWidget(versionLabel);

    setTabOrder(userName_TxtFld, password_STxtFld);
    setTabOrder(password_STxtFld, password_TxtFld);
    setTabOrder(password_TxtFld, passwordEye);
    setTabOrder(passwordEye, loginButton);
    setTabOrder(loginButton, linkCode_TxtFld);
    setTabOrder(linkCode_TxtFld, loginWithLinkCode_Btn);
    setTabOrder(loginWithLinkCode_Btn, registerButton);
    setTabOrder(registerButton, accountInfo);
    setTabOrder(accountInfo, linkCodeInfo);
}

void StoreLogin::startSession() {
    session = context.createLoginSession(this);
    connect(session, &LoginSession::loginControlsEnabledChanged, this, &StoreLogin::setLoginControlsEnabled);
    connect(session, &LoginSession::loginFinished, this, &StoreLogin::loginFinished);
}

void StoreLogin::setLoginControlsEnabled(bool enabled) {
    userName_TxtFld->setEnabled(enabled);
    password_STxtFld->setEnabled(enabled);
    loginButton->setEnabled(enabled);
    linkCode_TxtFld->setEnabled(enabled);
    loginWithLinkCode_Btn->setEnabled(enabled);
}

void StoreLogin::focusAccountField() {
    userName_TxtFld->setFocus(Qt::OtherFocusReason);
}

void StoreLogin::prepareVersionLabel() {
    versionLabel->setText(u"Version: "_s + context.services().appVersion);
}

QString StoreLogin::typedPassword() const {
    return isHidePassword ? password_STxtFld->text() : password_TxtFld->text();
}

void StoreLogin::clearReasons() {
    for (QLabel *status : {statusLabel, linkCodeStatusLabel}) {
        status->clear();
        status->hide();
    }
    for (QWidget *field :
         std::initializer_list<QWidget *>{userName_TxtFld, password_STxtFld, password_TxtFld, linkCode_TxtFld})
        field->setAccessibleDescription(QString());
}

void StoreLogin::login() {
    if (!loginButton->isEnabled())
        return;
    clearReasons();
    answeredBy = statusLabel;
    focusBeforeRequest = focusWidget();
    session->login(userName_TxtFld->text(), typedPassword());
}

void StoreLogin::loginWithLinkCode() {
    if (!loginWithLinkCode_Btn->isEnabled())
        return;
    clearReasons();
    answeredBy = linkCodeStatusLabel;
    focusBeforeRequest = focusWidget();
    session->loginWithLinkCode(linkCode_TxtFld->text());
}

void StoreLogin::loginFinished(LoginSession::Outcome outcome, const QString &message) {
    if (outcome != LoginSession::Outcome::signedIn) {
        QLabel *status = answeredBy ? answeredBy : statusLabel;
        status->setText(message);
        status->setVisible(!message.isEmpty());
        // A screen reader says the reason with the field the keyboard goes back to.
        const QList<QWidget *> fields = status == linkCodeStatusLabel
                                            ? QList<QWidget *>{linkCode_TxtFld}
                                            : QList<QWidget *>{userName_TxtFld, password_STxtFld, password_TxtFld};
        for (QWidget *field : fields)
            field->setAccessibleDescription(message);
        // Read once: the optimiser cannot tell that the guarded pointer stays set between two reads.
        if (QWidget *focus = focusBeforeRequest.data(); focus != nullptr && focus->isEnabled())
            focus->setFocus();
        return;
    }
    // The password has done its work; the name stays for the next sign-in after a sign-out.
    password_STxtFld->clear();
    password_TxtFld->clear();
    linkCode_TxtFld->clear();
    if (!message.isEmpty())
        context.services().reporter().showAlert(u"Alert"_s, message, u"OK"_s);
    // A fresh session for the next sign-in: this one stays in its signed-in state.
    session->deleteLater();
    startSession();
    Q_EMIT loginCompleted();
}

void StoreLogin::registerBtn_click() {
    context.services().desktop().openUrl(QUrl(context.services().configuration().storeUrl + u"/my-account/"_s));
}

void StoreLogin::togglePasswordVisibility() {
    const bool wasHidden = isHidePassword;
    if (wasHidden)
        password_TxtFld->setText(password_STxtFld->text());
    else
        password_STxtFld->setText(password_TxtFld->text());
    isHidePassword = !wasHidden;
    QLineEdit *shown = isHidePassword ? password_STxtFld : password_TxtFld;
    QLineEdit *hidden = isHidePassword ? password_TxtFld : password_STxtFld;
    const bool hadFocus = hidden->hasFocus();
    hidden->hide();
    shown->show();
    if (hadFocus)
        shown->setFocus();
    passwordEye->setToggle(!isHidePassword);
    passwordEye->setAccessibleName(isHidePassword ? tr("Show password") : tr("Hide password"));
}

void StoreLogin::DisplayButtonInfo_BtnClick(const KLVInfoButton &sender) {
    popOver.showFor(sender);
    popOver.popover()->setLinkHandler([this](const QUrl &url) { context.services().desktop().openUrl(url); });
}

} // namespace klv::ui
