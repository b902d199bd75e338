#pragma once

#include "controls/InfoPopover.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;

namespace klv {
class AppContext;
class PluginRegistration;
} // namespace klv

namespace klv::ui {

class AlertBox;
class InitialsBadge;
class KLVApp_CustomProductBtn;
class KLVInfoButton;

// The account page: the customer's name and e-mail (each copied with a click), the installed version and when it
// was installed, the application update, and the buttons to sign out, edit the account on the store's web site,
// clear the cached library, run FxRun and show the maker's folder. The page is brought up to date each time it is
// shown; FxRun runs without holding up the window, its buttons disabled meanwhile.
class AccountSettingView : public QWidget {
    Q_OBJECT

public:
    explicit AccountSettingView(AppContext &context, QWidget *parent = nullptr);
    ~AccountSettingView() override;

    // Names, version, the store's version asked for again, and the "Last Update" line.
    void refreshAccountPage();
    // The update button (and its offer when the store has a newer version), the names and the "Last Update" line.
    void refreshUpdateArea();

Q_SIGNALS:
    // The customer asked to sign out; the main window signs out and shows the login panel.
    void signOutRequested();
    // The customer asked to reload the library; the main window clears the cache when no job runs.
    void clearCacheRequested();

protected:
    void showEvent(QShowEvent *event) override;
    // The offer goes with the page: leaving it, or closing the window, must not leave the offer standing alone.
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildAccountSection();
    QWidget *buildApplicationSection();
    QWidget *buildMaintenanceSection();
    void setNameTitles();
    // Hidden when there is nothing to say (a packaged application has no folder to be moved to).
    void showLastUpdateLine();
    void CopyEmailAccount_BtnClick(int tag);
    void editAccount_BtnClick();
    void ShowASInFinder_BtnClick();
    void FxRun_BtnClick();
    void updateApp_BtnClick();
    // The update button as the update stands; true when an update is offered.
    bool showUpdateState();
    void offerUpdate();
    bool selfUpdateReady() const;
    void updaterNotStarted();
    void setActionsEnabled(bool enabled);
    KLVInfoButton *makeInfoButton(const QString &accessibleName, const QString &message);

    AppContext &context;
    PluginRegistration *fxRun;
    QScrollArea *mainScrollView;
    QWidget *documentScrollView;
    InitialsBadge *initialsBadge = nullptr;
    QPushButton *userNameTxtFld = nullptr;
    QPushButton *userEmailTxtFld = nullptr;
    QLabel *versionNumber = nullptr;
    QLabel *sinceLastUpdateTxtFld = nullptr;
    QLabel *updateNoteTxtFld = nullptr;
    QLabel *packageManagerNote = nullptr;
    KLVApp_CustomProductBtn *updateButton = nullptr;
    QPushButton *signOutBtn = nullptr;
    QPushButton *clearCacheBtn = nullptr;
    QPushButton *FxRunBtn = nullptr;
    InfoPopover popOver;
    // An update offer is on screen; another answer meanwhile does not open a second one.
    // The update offer while it is up: never modal, so that it cannot keep the window from closing.
    QPointer<AlertBox> updateOffer;
};

} // namespace klv::ui
