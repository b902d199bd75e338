#include "account/AccountSettingView.h"

#include "account/InitialsBadge.h"
#include "account/ProductVerificationPanel.h"
#include "controls/AlertBox.h"
#include "controls/KLVApp_CurveBox.h"
#include "controls/KLVApp_CustomProductBtn.h"
#include "controls/KLVInfoButton.h"
#include "style/FormStyle.h"
#include "style/StockWidgets.h"
#include "style/Theme.h"

#include "app/AppContext.h"
#include "install/PluginRegistration.h"
#include "store/DesktopServices.h"
#include "store/Services.h"
#include "update/LastUpdateLine.h"
#include "update/SelfUpdate.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace klv::ui {

using namespace Qt::StringLiterals;

namespace {

// The title stands where every section's title stands: 24 pixels in, its middle 36 pixels down.
constexpr int pageMargin = 24;
constexpr int titleTop = 22;
constexpr int sectionPadding = 24;
constexpr int copiedNoteMs = 1500;

// A rounded section of the page with its heading; the caller fills the returned layout.
std::pair<KLVApp_CurveBox *, QVBoxLayout *> makeSection(const QString &heading, QWidget *parent) {
    auto *section = new KLVApp_CurveBox(parent);
    section->setCorner(12);
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(sectionPadding, sectionPadding - 4, sectionPadding, sectionPadding);
    layout->setSpacing(14);
    layout->addWidget(makeLabel(heading, NamedColor::textPrimary, section, NamedFont::sectionTitle));
    return {section, layout};
}

} // namespace

AccountSettingView::AccountSettingView(AppContext &appContext, QWidget *parent)
    : QWidget(parent)
    , context(appContext)
    , fxRun(new PluginRegistration(appContext.services(), this))
    , mainScrollView(new QScrollArea(this))
    , documentScrollView(new QWidget)
    , popOver(this, PopoverLinks::none) {
    setObjectName(u"AccountSettingView"_s);
    setLook(*this, "form");
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme::color(NamedColor::accountSettingContainerBG));
    setPalette(palette);

    documentScrollView->setAutoFillBackground(true);
    QPalette documentPalette = documentScrollView->palette();
    documentPalette.setColor(QPalette::Window, theme::color(NamedColor::backgroundSecondary));
    documentScrollView->setPalette(documentPalette);
    auto *document = new QVBoxLayout(documentScrollView);
    document->setContentsMargins(pageMargin, titleTop, pageMargin, pageMargin);
    document->setSpacing(18);
    auto *title = makeLabel(tr("Account Settings"), NamedColor::textPrimary, documentScrollView);
    setLook(*title, "sectionTitle");
    document->addWidget(title);
    document->addWidget(
        makeLabel(tr("Your store account, this app and its upkeep."), NamedColor::textSecondary, documentScrollView));
    document->addSpacing(6);
    document->addWidget(buildAccountSection());
    document->addWidget(buildApplicationSection());
    document->addWidget(buildMaintenanceSection());
    document->addStretch(1);

    mainScrollView->setWidget(documentScrollView);
    mainScrollView->setWidgetResizable(true);
    mainScrollView->setFrameShape(QFrame::NoFrame);
    mainScrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setScrollBarLook(*mainScrollView);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mainScrollView);

    connect(&context.selfUpdate(), &SelfUpdate::updateAreaChanged, this, &AccountSettingView::refreshUpdateArea);
    connect(&context.selfUpdate(), &SelfUpdate::updateDownloadStarted, this, [this] { showUpdateState(); });
    connect(fxRun, &PluginRegistration::finished, this, [this] {
        FxRunBtn->setText(tr("Run FxRun"));
        setActionsEnabled(true);
    });
}

AccountSettingView::~AccountSettingView() = default;

QWidget *AccountSettingView::buildAccountSection() {
    auto [section, layout] = makeSection(tr("Account"), documentScrollView);
    userNameTxtFld = makeButton({}, "value", section);
    userEmailTxtFld = makeButton({}, "value", section);
    auto *copiedNote = makeLabel(tr("Copied"), NamedColor::accent, section);
    copiedNote->hide();

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    grid->setColumnMinimumWidth(0, 90);
    const QList<std::pair<QString, QPushButton *>> rows{{tr("Name"), userNameTxtFld}, {tr("E-mail"), userEmailTxtFld}};
    for (int tag = 0; tag < int(rows.size()); ++tag) {
        const auto &[heading, value] = rows.at(tag);
        value->setToolTip(tr("Click to copy"));
        // Named by what it shows, which is what it copies; the description says which of the two it is.
        value->setAccessibleDescription(tag == 0 ? tr("Your name; copies it") : tr("Your e-mail address; copies it"));
        auto *copy = new QToolButton(section);
        copy->setIcon(QIcon(u":/icons/copy.svg"_s));
        copy->setIconSize(QSize(16, 16));
        copy->setCursor(Qt::PointingHandCursor);
        copy->setAccessibleName(tag == 0 ? tr("Copy name") : tr("Copy e-mail"));
        copy->setToolTip(copy->accessibleName());
        for (QAbstractButton *button : {static_cast<QAbstractButton *>(value), static_cast<QAbstractButton *>(copy)}) {
            connect(button, &QAbstractButton::clicked, this, [this, tag, copiedNote] {
                CopyEmailAccount_BtnClick(tag);
                copiedNote->show();
                QTimer::singleShot(copiedNoteMs, copiedNote, &QLabel::hide);
            });
        }
        grid->addWidget(makeLabel(heading, NamedColor::textSecondary, section), tag, 0);
        grid->addWidget(value, tag, 1, Qt::AlignLeft);
        grid->addWidget(copy, tag, 2);
    }
    grid->addWidget(copiedNote, 0, 3, 2, 1, Qt::AlignVCenter);
    grid->setColumnStretch(4, 1);
    initialsBadge = new InitialsBadge(section);
    auto *identity = new QHBoxLayout;
    identity->setSpacing(18);
    identity->addWidget(initialsBadge, 0, Qt::AlignVCenter);
    identity->addLayout(grid, 1);
    layout->addLayout(identity);

    auto *editAccount = makeButton(tr("Edit Account"), "secondary", section);
    editAccount->setAccessibleDescription(tr("Opens the store's account page in the browser"));
    signOutBtn = makeButton(tr("Sign Out"), "danger", section);
    connect(editAccount, &QPushButton::clicked, this, &AccountSettingView::editAccount_BtnClick);
    connect(signOutBtn, &QPushButton::clicked, this, &AccountSettingView::signOutRequested);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(editAccount);
    buttons->addWidget(signOutBtn);
    buttons->addStretch();
    layout->addLayout(buttons);
    return section;
}

QWidget *AccountSettingView::buildApplicationSection() {
    auto [section, layout] = makeSection(tr("KLV App"), documentScrollView);
    versionNumber = makeLabel({}, NamedColor::textPrimary, section);
    sinceLastUpdateTxtFld = makeLabel({}, NamedColor::textSecondary, section);
    auto *info = makeInfoButton(tr("About updates"),
                                tr("KLV App asks the store for a new version each time this page is shown.\\nA new "
                                   "version is downloaded first and then offered here."));
    auto *versionRow = new QHBoxLayout;
    versionRow->setSpacing(6);
    versionRow->addWidget(versionNumber);
    versionRow->addWidget(info);
    versionRow->addStretch();
    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addLayout(versionRow);
    texts->addWidget(sinceLastUpdateTxtFld);
    // A newer version that could not be offered says why, beside the button that tries again.
    updateNoteTxtFld = makeLabel({}, NamedColor::textSecondary, section);
    updateNoteTxtFld->setObjectName(u"updateNote"_s);
    updateNoteTxtFld->setWordWrap(true);
    updateNoteTxtFld->setVisible(false);
    texts->addWidget(updateNoteTxtFld);
    // A packaged app is updated by the package manager: it says so instead of offering updates.
    packageManagerNote = makeLabel(SelfUpdate::packageManagerNote(), NamedColor::textSecondary, section);
    packageManagerNote->setWordWrap(true);
    packageManagerNote->setVisible(!context.selfUpdate().replacesItself());
    texts->addWidget(packageManagerNote);
    updateButton = new KLVApp_CustomProductBtn(section);
    updateButton->setVisible(context.selfUpdate().replacesItself());
    updateButton->setFixedSize(176, 36);
    connect(updateButton, &KLVApp_CustomProductBtn::clicked, this, &AccountSettingView::updateApp_BtnClick);
    auto *row = new QHBoxLayout;
    row->addLayout(texts, 1);
    row->addWidget(updateButton, 0, Qt::AlignVCenter);
    layout->addLayout(row);
    return section;
}

QWidget *AccountSettingView::buildMaintenanceSection() {
    auto [section, layout] = makeSection(tr("Maintenance"), documentScrollView);
    clearCacheBtn = makeButton(tr("Clear Cache"), "secondary", section);
    FxRunBtn = makeButton(tr("Run FxRun"), "secondary", section);
    auto *showFolder = makeButton(tr("Show Folder"), "secondary", section);
    connect(clearCacheBtn, &QPushButton::clicked, this, &AccountSettingView::clearCacheRequested);
    connect(FxRunBtn, &QPushButton::clicked, this, &AccountSettingView::FxRun_BtnClick);
    connect(showFolder, &QPushButton::clicked, this, &AccountSettingView::ShowASInFinder_BtnClick);

    struct Row {
        QString title;
        QString description;
        KLVInfoButton *info;
        QPushButton *button;
    };
    const QList<Row> rows{
        {tr("Product list"), tr("Load your products from the store again."),
         makeInfoButton(tr("About clearing the cache"),
                        tr("Forgets the product list kept on this computer and loads it again from the store.\\n"
                           "Installed products stay installed.")),
         clearCacheBtn},
        {tr("FxRun"), tr("Register your installed plug-ins with Final Cut Pro and Motion again."),
         makeInfoButton(tr("About FxRun"), tr("Starts each installed plug-in application once and ends it again,\\n"
                                              "so that Final Cut Pro and Motion find its effects.\\nClose Final Cut "
                                              "Pro and Motion first.")),
         FxRunBtn},
        {tr("Vantory folder"), context.services().locations().vantoryFolderURL, nullptr, showFolder},
    };
    const auto addSeparator = [section, layout] {
        // A plain filled strip: screen readers take a QFrame for a window frame.
        auto *line = new QWidget(section);
        line->setFixedHeight(1);
        line->setAutoFillBackground(true);
        QPalette linePalette = line->palette();
        linePalette.setColor(QPalette::Window, theme::color(NamedColor::separator));
        line->setPalette(linePalette);
        layout->addWidget(line);
    };
    for (qsizetype index = 0; index < rows.size(); ++index) {
        const Row &entry = rows.at(index);
        if (index > 0)
            addSeparator();
        auto *heading = new QHBoxLayout;
        heading->setSpacing(6);
        heading->addWidget(makeLabel(entry.title, NamedColor::textPrimary, section, NamedFont::rowTitle));
        if (entry.info)
            heading->addWidget(entry.info);
        heading->addStretch();
        auto *texts = new QVBoxLayout;
        texts->setSpacing(3);
        texts->addLayout(heading);
        auto *description = makeLabel(entry.description, NamedColor::textSecondary, section);
        description->setTextInteractionFlags(Qt::TextSelectableByMouse);
        texts->addWidget(description);
        auto *row = new QHBoxLayout;
        row->addLayout(texts, 1);
        entry.button->setMinimumWidth(130);
        row->addWidget(entry.button, 0, Qt::AlignVCenter);
        layout->addLayout(row);
        // Beside the cache: both look after what this computer holds.
        if (entry.button == clearCacheBtn) {
            addSeparator();
            layout->addWidget(new ProductVerificationPanel(context, section));
        }
    }
    return section;
}

KLVInfoButton *AccountSettingView::makeInfoButton(const QString &accessibleName, const QString &message) {
    auto *button = KLVInfoButton::make(accessibleName, message, documentScrollView);
    connect(button, &KLVInfoButton::clicked, this, [this, button] { popOver.showFor(*button); });
    return button;
}

void AccountSettingView::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    if (updateOffer)
        updateOffer->close();
}

void AccountSettingView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        refreshAccountPage();
}

void AccountSettingView::refreshAccountPage() {
    setNameTitles();
    versionNumber->setText(u"Version: "_s + context.services().appVersion);
    showLastUpdateLine();
    // What is known until the store answers; the answer brings the offer.
    showUpdateState();
    context.selfUpdate().checkAppVersion();
}

void AccountSettingView::refreshUpdateArea() {
    setNameTitles();
    const bool offered = showUpdateState();
    showLastUpdateLine();
    if (offered)
        offerUpdate();
}

bool AccountSettingView::showUpdateState() {
    const SelfUpdate &selfUpdate = context.selfUpdate();
    ProductButtonLook look;
    look.title = selfUpdate.updateButtonTitle();
    look.enabled = selfUpdate.updateButtonEnabled();
    if (look.enabled) {
        look.borderColor = theme::color(NamedColor::updateAvaliableTextColor);
        look.image.clear();
        // Without an image the separator beside it would stand alone.
        look.isDrawLine = false;
    } else {
        look.textColor = theme::color(NamedColor::textPrimaryButtonInstalled);
        // The check mark only where nothing newer is known: not while updating or while a new version downloads.
        const bool current = !selfUpdate.isUpdating() && !selfUpdate.isNewerVersionAvailable();
        look.image = current ? u":/icons/Done_ring_round_duotone-1.svg"_s : QString();
        look.isDrawLine = !look.image.isEmpty();
    }
    updateButton->setLook(look);
    updateButton->setAccessibleDescription(selfUpdate.unofferedNote());
    updateNoteTxtFld->setText(selfUpdate.unofferedNote());
    updateNoteTxtFld->setVisible(!updateNoteTxtFld->text().isEmpty());
    return selfUpdateReady();
}

void AccountSettingView::offerUpdate() {
    // One offer at a time: each refresh of the update area would otherwise ask again.
    if (updateOffer) {
        updateOffer->show();
        updateOffer->raise();
        return;
    }
    SelfUpdate &selfUpdate = context.selfUpdate();
    const QString message = selfUpdate.updateOfferMessage();
    context.services().reporter().appendLog(message);
    updateOffer = new AlertBox(u"Alert"_s, message, {u"Update Now"_s, u"Update later"_s}, window());
    updateOffer->setAttribute(Qt::WA_DeleteOnClose);
    updateOffer->setWindowModality(Qt::NonModal);
    connect(updateOffer, &QMessageBox::finished, this, [this, box = updateOffer] {
        if (box->chosenIndex() == 0 && selfUpdateReady() && !context.selfUpdate().startAppUpdate())
            updaterNotStarted();
    });
    updateOffer->show();
}

bool AccountSettingView::selfUpdateReady() const {
    return context.selfUpdate().isUpdateReady() && !context.selfUpdate().isUpdating();
}

void AccountSettingView::updateApp_BtnClick() {
    if (context.selfUpdate().updateButtonRetries()) {
        context.selfUpdate().downloadAppUpdate();
        return;
    }
    if (!context.selfUpdate().startAppUpdate())
        updaterNotStarted();
}

void AccountSettingView::updaterNotStarted() {
    const Services &services = context.services();
    services.reporter().showAlert(
        u"Alert"_s, u"The updater could not be started; the log says why: "_s + services.locations().logFileURL,
        u"OK"_s);
}

void AccountSettingView::showLastUpdateLine() {
    sinceLastUpdateTxtFld->setText(lastUpdateLine(context.services()));
    sinceLastUpdateTxtFld->setVisible(!sinceLastUpdateTxtFld->text().isEmpty());
}

void AccountSettingView::setNameTitles() {
    const Settings &settings = context.services().settings();
    userNameTxtFld->setText(settings.userName);
    userEmailTxtFld->setText(settings.userEmail);
    initialsBadge->setName(settings.userName);
}

void AccountSettingView::CopyEmailAccount_BtnClick(int tag) {
    const Settings &settings = context.services().settings();
    context.services().desktop().copyText(tag == 0 ? settings.userName : settings.userEmail);
}

void AccountSettingView::editAccount_BtnClick() {
    context.services().desktop().openUrl(
        QUrl(context.services().configuration().storeUrl + u"/my-account/edit-account/"_s));
}

void AccountSettingView::ShowASInFinder_BtnClick() {
    context.services().desktop().revealFolder(context.services().locations().vantoryFolderURL);
}

void AccountSettingView::FxRun_BtnClick() {
    setActionsEnabled(false);
    FxRunBtn->setText(tr("Running…"));
    if (!fxRun->runFxRun()) {
        FxRunBtn->setText(tr("Run FxRun"));
        setActionsEnabled(true);
    }
}

void AccountSettingView::setActionsEnabled(bool enabled) {
    FxRunBtn->setEnabled(enabled);
    clearCacheBtn->setEnabled(enabled);
    signOutBtn->setEnabled(enabled);
}

} // namespace klv::ui
