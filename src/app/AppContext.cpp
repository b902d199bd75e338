#include "app/AppContext.h"

#include "app/InstallationTurn.h"
#include "app/StoreNotifications.h"
#include "core/InstallationQueueLock.h"
#include "install/InstallationEngine.h"
#include "install/PartialDownload.h"
#include "install/PlacementJournal.h"
#include "library/FileCreationDate.h"
#include "library/ProductActions.h"
#include "library/ProductCache.h"
#include "library/ProductImages.h"
#include "library/ProductLibrary.h"
#include "marketing/MarketingCenter.h"
#include "marketing/Rewards.h"
#include "store/DBusNotifier.h"
#include "store/LoginSession.h"
#include "store/Services.h"
#include "update/SelfUpdate.h"

namespace klv {

using namespace Qt::StringLiterals;

AppContext::AppContext(Configuration configuration, Alerts &alerts, Clock clock, TickSource *ticks, QObject *parent)
    : QObject(parent)
    , m_services(new Services(std::move(configuration), alerts, std::move(clock), ticks, this))
    , m_library(new ProductLibrary(*m_services, fileCreationDate, this))
    , m_engine(new InstallationEngine(*m_services, *m_library, this))
    , m_productImages(new ProductImages(*m_services, this))
    , m_productActions(new ProductActions(*m_services, *m_library, this))
    , m_selfUpdate(new SelfUpdate(*m_services, this))
    , m_marketing(new MarketingCenter(*m_services, *m_library, this))
    , m_rewards(new Rewards(*m_services, this))
    , m_notifier(new DBusNotifier(QDBusConnection::sessionBus(), m_services->log(), this))
    , m_notifications(new StoreNotifications(*m_services, *m_notifier, *m_selfUpdate, this))
    , m_installationQueueLock(new InstallationQueueLock(m_services->locations().installationLockFileURL, this)) {
    // The cached library may not be cleared while a job still refers to it.
    m_library->setInstallationQueueBusyQuery([engine = m_engine] { return engine->isBusy(); });
    // Another program installed or removed products in this home: the rows follow the files before anything
    // waiting for the queue goes on.
    connect(m_installationQueueLock, &InstallationQueueLock::taken, this, [this] {
        const PlacementJournal::Recovery recovery = PlacementJournal::recoverAll(m_services->locations().downloads());
        for (const QString &product : recovery.products)
            m_services->reporter().appendLog(u"Finished or undid the placement of "_s + product +
                                             u" that a stopped run left unfinished"_s);
        for (const QString &problem : recovery.problems)
            m_services->reporter().appendLog(u"A placement that a stopped run left unfinished is kept for the next "
                                             u"start: "_s +
                                             problem);
        if (!recovery.products.isEmpty())
            redetectInstalledStates();
        removeStalePartialDownloads();
    });
    // Once the library is known, the partials of products it no longer has can be told too.
    connect(m_library, &ProductLibrary::refreshFinished, this, [this](ProductLibrary::RefreshOutcome outcome) {
        if (outcome != ProductLibrary::RefreshOutcome::unchanged &&
            outcome != ProductLibrary::RefreshOutcome::downloaded)
            return;
        if (m_installationQueueLock->isHeld() && !m_engine->isBusy())
            removeStalePartialDownloads();
        else
            recoverUnfinishedInstallations();
    });
    connect(m_installationQueueLock, &InstallationQueueLock::releasedElsewhere, this,
            &AppContext::redetectInstalledStates);
    connect(m_installationQueueLock, &InstallationQueueLock::acquired, this, &AppContext::redetectInstalledStates);
    // After each library download, pictures already on disk are found again without a download.
    connect(m_library, &ProductLibrary::libraryStored, m_productImages,
            [this] { m_productImages->registerStoredProductImages(m_library->libraryProducts()); });
    connect(m_engine, &InstallationEngine::installationCompleted, m_notifications, [this](const QString &name) {
        m_notifications->postStoreNotification(notificationType::installComplete,
                                               {{QStringLiteral("Request Data Product Name"), name}});
    });
    connect(m_marketing, &MarketingCenter::saleNotificationRequested, m_notifications,
            [this](const QString &title, const QString &subtitle) {
                m_notifications->postStoreNotification(notificationType::buySale,
                                                       {{QStringLiteral("Request Data Main String"), title},
                                                        {QStringLiteral("Request Data Sub String"), subtitle}});
            });
    // Last, so that what waited for the queue runs once the rows follow what the other process changed.
    m_installationTurn = new InstallationTurn(*m_installationQueueLock, *m_engine, *m_productActions, this);
}

AppContext::~AppContext() = default;

void AppContext::recoverUnfinishedInstallations() {
    // Taking the queue recovers; holding it only for that lets another process have it right after.
    if (m_installationQueueLock->isHeld() || !m_installationQueueLock->tryAcquire())
        return;
    m_installationQueueLock->release();
}

void AppContext::redetectInstalledStates() {
    if (const Error error = m_library->redetectInstalledStates())
        m_services->reporter().appendLog(u"The library could not be stored: "_s + *error);
}

void AppContext::removeStalePartialDownloads() {
    // Downloads cut short are kept to be resumed, but not for ever, nor for products the library no longer has.
    const auto libraryNames = [this] {
        QSet<QString> known;
        for (const OutlineViewItem &record : m_library->libraryProducts()) {
            QStringList names = record.children;
            names << record.product_name;
            for (const QString &name : std::as_const(names))
                known << name << QString(name).remove(u"Vantory - "_s);
        }
        return known;
    };
    for (const QString &partial :
         PartialDownload::removeStale(m_services->locations().downloads(), libraryNames, m_services->clock()()))
        m_services->reporter().appendLog(u"Removed the old partial download "_s + partial);
}

void AppContext::signOut() {
    Settings &settings = m_services->settings();
    settings.userEmail.clear();
    settings.userPassword.clear();
    clearProductCaches(m_services->locations());
    m_services->productImageMap.clear();
    m_library->forgetLibrary();
    settings.resetSettings();
}

LoginSession *AppContext::createLoginSession(QObject *parent) {
    return new LoginSession(
        m_services->store(), m_services->settings(), m_services->reporter(), [this] { signOut(); }, parent);
}

} // namespace klv
