#include "products/LibraryActions.h"

#include "app/AppContext.h"
#include "app/InstallationTurn.h"
#include "controls/ThemedMenu.h"
#include "install/InstallationEngine.h"
#include "library/ProductActions.h"
#include "products/LibraryModel.h"
#include "store/Reporter.h"
#include "store/Services.h"

#include <QMenu>
#include <QModelIndex>

using namespace Qt::StringLiterals;

namespace klv::ui {

LibraryActions::LibraryActions(AppContext &context, LibraryModel &model, QWidget &menuParent, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_model(model)
    , m_menuParent(menuParent) {
    InstallationTurn &turn = m_context.installationTurn();
    connect(&turn, &InstallationTurn::waitingChanged, this, [this] { Q_EMIT waitingForQueue(waitingText()); });
    connect(&turn, &InstallationTurn::waitEnded, this, &LibraryActions::queueTaken);
    connect(&turn, &InstallationTurn::failed, this,
            [this](const QString &error) { m_context.services().reporter().showAlert(u"Alert"_s, error, u"OK"_s); });
    connect(&m_context.installationEngine(), &InstallationEngine::downloadInfoHandled, this,
            [this](const QString &, InstallationEngine::DownloadInfoOutcome outcome, const QString &message) {
                // The store said no, or said nothing usable: the row turns back, and the customer learns why.
                if (outcome == InstallationEngine::DownloadInfoOutcome::refused ||
                    outcome == InstallationEngine::DownloadInfoOutcome::unusable)
                    m_context.services().reporter().showAlert(u"Alert"_s, message, u"OK"_s);
            });
    connect(&m_context.productActions(), &ProductActions::uninstallFinished, this, &LibraryActions::tellUninstalled);
}

void LibraryActions::pressProductButton(const QModelIndex &index) {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return;
    // A disabled button (installed, waiting, asked for, queued, running) does nothing.
    if (!m_model.buttonState(index).enabled)
        return;
    install(*record);
}

void LibraryActions::showOptionMenu(const QModelIndex &index, const QRect &globalButton) {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return;
    const QStringList items = m_model.optionMenuItems(index);
    if (items.isEmpty())
        return;
    QMenu menu(&m_menuParent);
    menu.setObjectName(u"productOptionMenu"_s);
    applyMenuTheme(menu);
    menu.setToolTipsVisible(true);
    // The item runs once the menu has closed, however it was chosen.
    QString chosen;
    for (const QString &item : items) {
        QAction *action = menu.addAction(item.trimmed());
        action->setData(item);
        // The title is the one Finder users know; the tooltip says what it does here.
        if (item == ProductActions::viewInFinderItem)
            action->setToolTip(tr("Opens the product's folder in the file manager"));
        connect(action, &QAction::triggered, &menu, [&chosen, item] { chosen = item; });
    }
    const OutlineViewItem chosenFor = *record;
    menu.exec(QPoint(globalButton.right() + 1 - menu.sizeHint().width(), globalButton.bottom() + 5));
    if (!chosen.isEmpty())
        runMenuItem(chosenFor, chosen);
}

void LibraryActions::runMenuItem(const OutlineViewItem &record, const QString &title) {
    if (title == ProductActions::learnMoreItem)
        m_context.productActions().learnMore(record);
    else if (title == ProductActions::viewInFinderItem)
        m_context.productActions().revealComposite(record);
    else if (title == ProductActions::updateItem)
        update(record);
    else if (title == ProductActions::uninstallItem)
        uninstall(record);
}

void LibraryActions::install(const OutlineViewItem &record) {
    if (!m_context.productActions().confirmInstall())
        return;
    requestWhenQueueIsOurs(record, true);
}

void LibraryActions::update(const OutlineViewItem &record) {
    if (!m_context.productActions().confirmUpdate())
        return;
    requestWhenQueueIsOurs(record, false);
}

void LibraryActions::uninstall(const OutlineViewItem &record) {
    if (!m_context.productActions().confirmUninstall())
        return;
    m_context.installationTurn().whenOurs(tr("removing %1").arg(record.product_name),
                                          [this, record] { m_context.productActions().uninstall(record); });
}

void LibraryActions::requestWhenQueueIsOurs(const OutlineViewItem &record, bool isNewInstall) {
    InstallationEngine &engine = m_context.installationEngine();
    InstallationTurn &turn = m_context.installationTurn();
    if (!turn.isOurs())
        engine.holdRequest(record, isNewInstall);
    const QString description = (isNewInstall ? tr("installing %1") : tr("updating %1")).arg(record.product_name);
    turn.whenOurs(description, [&engine, record, isNewInstall] { engine.requestInstallation(record, isNewInstall); });
}

void LibraryActions::tellUninstalled(const OutlineViewItem &record, const UninstallReport &report) {
    // What went, and what stays and why: an uninstall that leaves things in place must not look like a failure.
    constexpr qsizetype pathsShown = 5;
    QString message = report.summary(record.product_name) + u'.';
    if (!report.removed.isEmpty()) {
        message += u"\n\n"_s + tr("Removed:") + u"\n"_s + report.removed.mid(0, pathsShown).join(u'\n');
        if (report.removed.size() > pathsShown)
            message += u"\n"_s + tr("… and %n more", nullptr, int(report.removed.size() - pathsShown));
    }
    m_context.services().reporter().showAlert(tr("Uninstall"), message, u"OK"_s);
}

QString LibraryActions::waitingText() const {
    // One line of the strip: the product it waits to install comes first after the program, never cut off by it.
    const InstallationTurn &turn = m_context.installationTurn();
    return tr("Waiting for %1 to finish before %2…")
        .arg(turn.holderName().value_or(tr("another program")), turn.waitingDescriptions().join(u", "_s));
}

void LibraryActions::stopWaitingForQueue() {
    m_context.installationTurn().stopWaiting();
}

} // namespace klv::ui
