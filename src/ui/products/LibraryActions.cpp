#include "products/LibraryActions.h"

#include "app/AppContext.h"
#include "controls/ThemedMenu.h"
#include "core/InstallationQueueLock.h"
#include "install/InstallationEngine.h"
#include "library/ProductActions.h"
#include "library/ProductButtonState.h"
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
    InstallationQueueLock &lock = m_context.installationQueueLock();
    connect(&lock, &InstallationQueueLock::acquired, this, &LibraryActions::runWaitingWork);
    connect(&lock, &InstallationQueueLock::failed, this, [this](const QString &error) {
        m_waitingWork.clear();
        Q_EMIT queueTaken();
        m_context.services().reporter().showAlert(u"Alert"_s, error, u"OK"_s);
    });
    InstallationEngine &engine = m_context.installationEngine();
    connect(&engine, &InstallationEngine::queueFinished, this, &LibraryActions::releaseQueueWhenIdle);
    connect(&engine, &InstallationEngine::sideWorkFinished, this, &LibraryActions::releaseQueueWhenIdle);
    connect(&engine, &InstallationEngine::downloadInfoHandled, this, [this] {
        m_requestsRunning = qMax(0, m_requestsRunning - 1);
        releaseQueueWhenIdle();
    });
    connect(&m_context.productActions(), &ProductActions::uninstallFinished, this, [this] {
        --m_uninstallsRunning;
        releaseQueueWhenIdle();
    });
}

void LibraryActions::pressProductButton(const QModelIndex &index) {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return;
    const ProductButtonState state =
        productButtonState(*record, m_model.jobProgress(index), record->isInstalled, m_model.libraryProducts());
    // A disabled button (installed, queued, running) does nothing, nor does a second click before the engine answers.
    if (!state.enabled || !m_model.pendingTitle(record->product_id).isEmpty())
        return;
    install(*record);
}

void LibraryActions::showOptionMenu(const QModelIndex &index, const QRect &globalButton) {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return;
    const QStringList items = ProductActions::optionMenuItems(*record, m_model.libraryProducts());
    if (items.isEmpty())
        return;
    QMenu menu(&m_menuParent);
    menu.setObjectName(u"productOptionMenu"_s);
    applyMenuTheme(menu);
    // The item runs once the menu has closed, however it was chosen.
    QString chosen;
    for (const QString &item : items) {
        QAction *action = menu.addAction(item.trimmed());
        action->setData(item);
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
    m_model.setPendingTitle(record.product_id, u"Installing..."_s);
    whenQueueIsOurs([this, record] { requestInstallation(record, true); });
}

void LibraryActions::update(const OutlineViewItem &record) {
    if (!m_context.productActions().confirmUpdate())
        return;
    m_model.setPendingTitle(record.product_id, u"Updating ..."_s);
    whenQueueIsOurs([this, record] { requestInstallation(record, false); });
}

void LibraryActions::requestInstallation(const OutlineViewItem &record, bool isNewInstall) {
    ++m_requestsRunning;
    m_context.installationEngine().requestInstallation(record, isNewInstall);
}

void LibraryActions::uninstall(const OutlineViewItem &record) {
    if (!m_context.productActions().confirmUninstall())
        return;
    whenQueueIsOurs([this, record] {
        ++m_uninstallsRunning;
        m_context.productActions().uninstall(record);
    });
}

void LibraryActions::whenQueueIsOurs(std::function<void()> work) {
    InstallationQueueLock &lock = m_context.installationQueueLock();
    if (lock.isHeld()) {
        work();
        return;
    }
    const bool alreadyWaiting = !m_waitingWork.isEmpty();
    m_waitingWork.append(std::move(work));
    if (alreadyWaiting)
        return;
    switch (lock.acquireOrWait()) {
    case InstallationQueueLock::Attempt::acquired:
        runWaitingWork();
        break;
    case InstallationQueueLock::Attempt::held:
        Q_EMIT waitingForQueue(
            tr("Waiting for %1 to finish its installation…").arg(lock.holder().value_or(tr("another program"))));
        break;
    case InstallationQueueLock::Attempt::failed:
        m_waitingWork.clear();
        m_model.clearPendingTitles();
        m_context.services().reporter().showAlert(u"Alert"_s, lock.errorString(), u"OK"_s);
        break;
    }
}

void LibraryActions::runWaitingWork() {
    Q_EMIT queueTaken();
    const QList<std::function<void()>> work = std::exchange(m_waitingWork, {});
    for (const auto &step : work)
        step();
    releaseQueueWhenIdle();
}

void LibraryActions::releaseQueueWhenIdle() {
    const InstallationEngine &engine = m_context.installationEngine();
    InstallationQueueLock &lock = m_context.installationQueueLock();
    if (lock.isHeld() && !engine.isBusy() && !engine.hasSideWork() && m_uninstallsRunning == 0 &&
        m_requestsRunning == 0)
        lock.release();
}

} // namespace klv::ui
